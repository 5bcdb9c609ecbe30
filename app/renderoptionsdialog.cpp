#include "renderoptionsdialog.h"

#include "ui_renderoptionsdialog.h"

RenderOptionsDialog::RenderOptionsDialog(QWidget *parent) : QDialog(parent), ui(new Ui::RenderOptionsDialog)
{
    ui->setupUi(this);
}

RenderOptionsDialog::~RenderOptionsDialog() = default;

void RenderOptionsDialog::on_btnClose_clicked()
{
    close();
}
