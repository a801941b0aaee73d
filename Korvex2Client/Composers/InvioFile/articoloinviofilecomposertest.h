#pragma once

#include <QDialog>

namespace Ui {
class ArticoloInvioFileComposerTest;
}

// A minimal file-sending dialog: a plain list of chosen files, saved as an order and handed to
// the upload queue in one step.
class ArticoloInvioFileComposerTest : public QDialog
{
    Q_OBJECT

public:
    explicit ArticoloInvioFileComposerTest(QWidget *parent = nullptr);
    ~ArticoloInvioFileComposerTest() override;

private slots:
    void on_addFile_clicked();
    void on_sendOrder_clicked();

private:
    Ui::ArticoloInvioFileComposerTest *ui;
};
