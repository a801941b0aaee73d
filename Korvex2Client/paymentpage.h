#pragma once

#include <QString>
#include <QUrl>

class Utente;

// The laboratory's payment page for a customer who pays online.
class PaymentPage
{
public:
    // The page of the customer's last order of today that awaits payment, asked of the
    // orders service at endpoint with the customer's credentials. An empty URL when there
    // is none or the service cannot tell.
    static QUrl lastOrderOfToday(const Utente &utente, const QString &endpoint);
    // The page of one order: endpoint + "paypal.php?id=" + the order id, percent-encoded.
    static QUrl forOrder(const QString &endpoint, const QString &orderId);
};
