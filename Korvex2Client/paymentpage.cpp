#include "paymentpage.h"

#include <QDate>
#include <QDebug>

#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "ordine.h"
#include "ordini.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

constexpr int awaitingPayment = 8;

} // namespace

QUrl PaymentPage::forOrder(const QString &endpoint, const QString &orderId)
{
    return QUrl(endpoint + QStringLiteral("paypal.php?id=") + QString::fromLatin1(QUrl::toPercentEncoding(orderId)),
                QUrl::TolerantMode);
}

QUrl PaymentPage::lastOrderOfToday(const Utente &utente, const QString &endpoint)
{
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Ordini::WsEndpoint = endpoint.toStdString();
        Ordini::WsUsername = utente.username;
        Ordini::WsPassword = utente.password;
        Ordini::WsOperatorAuth = false;
    }
    const std::string today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    std::vector<Ordine *> headers;
    try {
        Ordine query(nullptr);
        headers = query.listaIntestazioni(utente.username, std::string(), 0, 0, today, today, {awaitingPayment},
                                          0, 0, std::string());
    } catch (const Korvex2Exception &e) {
        qDebug() << "Pagamento: intestazioni non disponibili" << QString::fromStdString(e.message);
        return QUrl();
    } catch (const std::exception &e) {
        qDebug() << "Pagamento: intestazioni non disponibili" << e.what();
        return QUrl();
    }
    QUrl page;
    if (!headers.empty())
        page = forOrder(endpoint, QString::fromStdString(headers.back()->Getguid()));
    for (Ordine *header : headers)
        delete header;
    return page;
}
