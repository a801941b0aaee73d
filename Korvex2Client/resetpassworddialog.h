#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;
class Utente;

namespace Ui {
class ResetPasswordDialog;
}

// Has the account service generate a new password in two steps: the customer's user name
// (the service mails an operation code), then that code (the service mails the password).
class ResetPasswordDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit ResetPasswordDialog(QWidget *parent = nullptr);
    ~ResetPasswordDialog() override;

private slots:
    void on_toolButtonRequestCode_clicked();
    void on_toolButtonResetPassword_clicked();
    void on_pushButtonEsci_clicked();

private:
    // The widgets of one step.
    struct Step
    {
        QLineEdit *field;
        QToolButton *button;
        QFrame *frame;
        QLabel *error;
        QLabel *done;
    };
    void runStep(const Step &step, const std::function<bool(Utente &, const std::string &)> &call);

    std::unique_ptr<Ui::ResetPasswordDialog> ui;
};
