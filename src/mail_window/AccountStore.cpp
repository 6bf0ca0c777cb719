#include "mail_window/AccountStore.h"

#include "mail_window/PasswordScrambling.h"
#include "platform/SettingsDatabase.h"
#include "platform/WindowDatabase.h"

#include <QSqlTableModel>

#include <initializer_list>
#include <memory>
#include <utility>

namespace quietpane {

namespace {

const QString kAccountTable = QStringLiteral("Email");
const QString kPasswordColumn = QStringLiteral("Password");
const QString kAllowPlainColumn = QStringLiteral("AllowPlain");

// The text columns and the account's member for each; the password and the flag are apart.
using TTextColumns = std::initializer_list<std::pair<const char*, QString TMailAccount::*>>;
constexpr TTextColumns kTextColumns = {
    {"ServerOut", &TMailAccount::serverOut}, {"PortOut", &TMailAccount::portOut},
    {"Type", &TMailAccount::type},           {"UserID", &TMailAccount::userId},
    {"Name", &TMailAccount::name},           {"Email", &TMailAccount::email},
    {"ServerIn", &TMailAccount::serverIn},   {"PortIn", &TMailAccount::portIn},
};

// The row's table, opened for one read or write.
class TAccountRow {
public:
    explicit TAccountRow(const TWindowDatabase& database)
        : table_(database.OpenTable(kAccountTable, QSqlTableModel::OnManualSubmit)), row_(SingleRow(*table_))
    {
    }

    QVariant Get(const QString& column) const { return table_->data(Index(column)); }
    // An empty text is an empty column, which the number columns only take as NULL.
    void Set(const QString& column, const QString& text)
    {
        table_->setData(Index(column), text.isEmpty() ? QVariant() : QVariant(text));
    }
    void Set(const QString& column, int value) { table_->setData(Index(column), value); }
    void Submit() { SubmitOrThrow(*table_); }

private:
    QModelIndex Index(const QString& column) const { return table_->index(row_, table_->fieldIndex(column)); }

    std::unique_ptr<QSqlTableModel> table_;
    int row_;
};

// Every read and write of the password is here, so that how it is kept can change in one place.
QString ReadPassword(const TAccountRow& row)
{
    return ScramblePassword(row.Get(kPasswordColumn).toString());
}

void WritePassword(TAccountRow& row, const QString& password)
{
    row.Set(kPasswordColumn, ScramblePassword(password));
}

} // namespace

TMailAccount TAccountStore::Load() const
{
    const TAccountRow row(database_);
    TMailAccount account;
    for (const auto& [column, member] : kTextColumns)
        account.*member = row.Get(QLatin1String(column)).toString();
    account.password = ReadPassword(row);
    account.allowPlain = row.Get(kAllowPlainColumn).toInt() == 1;
    return account;
}

void TAccountStore::Store(const TMailAccount& account) const
{
    TAccountRow row(database_);
    for (const auto& [column, member] : kTextColumns)
        row.Set(QLatin1String(column), account.*member);
    WritePassword(row, account.password);
    row.Set(kAllowPlainColumn, account.allowPlain ? 1 : 0);
    row.Submit();
}

} // namespace quietpane
