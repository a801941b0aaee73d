#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

// The "Informazioni su..." box: program name, running version and a short description.
class AboutDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

private slots:
    void on_pushButtonAboutQt_clicked();

private:
    std::unique_ptr<Ui::AboutDialog> ui;
};
