#pragma once

#include <QDialog>

#include <memory>

class Utente;

namespace Ui {
class LoginDialog;
}

// Logs the customer in to the laboratory's account service: user name, password and the
// laboratory's server; remembers the credentials on request; opens the sign-up and the
// password reset. accepted() follows a successful login, KorvexGlobals::utente then holding
// the new customer; rejected() means the customer goes on without logging in.
class LoginDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDialog(QWidget *parent = nullptr);
    ~LoginDialog() override;

    // Logs a new customer in at KorvexGlobals::WsEndpoint. Returns true, getUtente() then
    // giving the customer (whoever stores it takes it over); every failure raises
    // Utente::UtenteException. The form is not touched.
    bool validateLogin(const QString &username, const QString &password);
    Utente *getUtente() const;

    void resetForm();
    void showLoginError();

private slots:
    void on_pushButtonLogin_clicked();
    void on_commandLinkButton_clicked();
    void on_commandLinkButtonSignup_clicked();
    void on_lineEditServer_textChanged(const QString &arg1);

private:
    // Gives the focus to the first empty field of the form.
    void focusFirstEmptyField();
    void setChecking(bool checking);

    std::unique_ptr<Ui::LoginDialog> ui;
    Utente *utente = nullptr;
};
