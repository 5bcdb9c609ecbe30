#ifndef KOLVEX_APP_RENDEROPTIONSDIALOG_H
#define KOLVEX_APP_RENDEROPTIONSDIALOG_H

#include <QDialog>

#include <memory>

class Visualization;

namespace Ui {
class RenderOptionsDialog;
}

/// The developer's layers of the map (cells, crossroads, generators, node ids...), one check box
/// each, switching that layer of the map widget.
class RenderOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RenderOptionsDialog(QWidget *parent = nullptr);
    ~RenderOptionsDialog() override;

    /// Adds the boxes of the developer's layers of `map` (not owned; it must outlive the dialog).
    void showLayers(Visualization *map);

private slots:
    void on_btnClose_clicked();

private:
    std::unique_ptr<Ui::RenderOptionsDialog> ui;
};

#endif
