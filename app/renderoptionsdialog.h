#ifndef KOLVEX_APP_RENDEROPTIONSDIALOG_H
#define KOLVEX_APP_RENDEROPTIONSDIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class RenderOptionsDialog;
}

/// The developer's layers of the map (cells, crossroads, generators, node ids...), one check box
/// each; the window connects them to the map widget once a run has started.
class RenderOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RenderOptionsDialog(QWidget *parent = nullptr);
    ~RenderOptionsDialog() override;

private slots:
    void on_btnClose_clicked();

private:
    std::unique_ptr<Ui::RenderOptionsDialog> ui;
};

#endif
