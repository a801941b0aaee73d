#pragma once

#include <QDialog>

#include <memory>

class Utente;

namespace Ui {
class SignupDialog;
}

// Asks the account service of the server typed in the form for a new customer account.
// Nobody is logged in and no setting changes: the laboratory activates the account later.
class SignupDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit SignupDialog(QWidget *parent = nullptr);
    ~SignupDialog() override;

    void setEndpoint(const QString &endpoint);

private slots:
    void on_pushButtonSignup_clicked();
    void form2utente(Utente &utente);
    bool validaForm();
    void on_pushButtonEsci_clicked();

private:
    std::unique_ptr<Ui::SignupDialog> ui;
};
