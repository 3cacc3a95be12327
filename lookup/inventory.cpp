#include "lookup/inventory.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <map>
#include <set>

#include "lookup/address_rules.h"
#include "lookup/csv.h"

namespace {

constexpr size_t kLongestName = 255; // characters, as the Computer table keeps them

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Characters of UTF-8 text; npos when it is not UTF-8.
size_t Utf8Length(const std::string& text)
{
    const QString decoded = QString::fromStdString(text);
    if (decoded.toUtf8() != QByteArray::fromStdString(text))
        return std::string::npos;
    return static_cast<size_t>(decoded.toUcs4().size());
}

// One row into a card with its stored addresses, or the reason it is bad.
bool CheckRow(const CsvRecord& record, InventoryRow& card, std::string& reason)
{
    if (record.fields.size() != kInventoryHeader.size()) {
        reason = std::to_string(record.fields.size()) + " fields, not 4 (computer name, MAC, IP, IPX)";
        return false;
    }
    card.name = Trimmed(record.fields[0]);
    const std::string mac = Trimmed(record.fields[1]);
    const std::string ip = Trimmed(record.fields[2]);
    const std::string ipx = Trimmed(record.fields[3]);
    const size_t length = Utf8Length(card.name);
    if (card.name.empty())
        reason = "no computer name";
    else if (length == std::string::npos)
        reason = "the computer name is not UTF-8 text";
    else if (std::any_of(card.name.begin(), card.name.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        reason = "the computer name holds a control character";
    else if (length > kLongestName)
        reason = "the computer name is longer than " + std::to_string(kLongestName) + " characters";
    else if (mac.empty() && ip.empty() && ipx.empty())
        reason = "no address";
    if (!reason.empty())
        return false;
    return (mac.empty() || StoredNodeAddress("MAC address", mac, card.mac, reason))
        && (ip.empty() || StoredIPAddress(ip, card.ip, reason))
        && (ipx.empty() || StoredNodeAddress("IPX address", ipx, card.ipx, reason));
}

bool CheckRows(const std::string& fileName, std::string_view text, std::vector<InventoryRow>& cards,
               std::string& problem)
{
    std::vector<CsvRecord> records;
    size_t errorLine = 0;
    std::string reason;
    if (!ReadCsv(text, records, errorLine, reason)) {
        problem = fileName + ":" + std::to_string(errorLine) + ": " + reason;
        return false;
    }
    if (records.empty()) {
        problem = fileName + ": empty file (a header line and one line per network card expected)";
        return false;
    }
    if (records.front().fields.size() != kInventoryHeader.size()) {
        problem = fileName + ":" + std::to_string(records.front().line)
            + ": the header line must name 4 columns (computer name, MAC, IP, IPX)";
        return false;
    }
    for (size_t i = 1; i < records.size(); ++i) {
        InventoryRow card;
        if (!CheckRow(records[i], card, reason)) {
            problem = fileName + ":" + std::to_string(records[i].line) + ": " + reason;
            return false;
        }
        cards.push_back(std::move(card));
    }
    return true;
}

QVariant Nullable(const std::string& text)
{
    return text.empty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(QString::fromStdString(text));
}

std::string Text(const QVariant& value) { return value.isNull() ? std::string() : value.toString().toStdString(); }

// Every card of every computer with its addresses (none: empty).
constexpr const char* kCards
    = "select Computer.ComputerID, ComputerName, ComputerNicMac, ComputerNicIPNumber, ComputerNicIPXNumber\n"
      "from Computer join ComputerNic on Computer.ComputerID = ComputerNic.ComputerID\n"
      "left join ComputerNicIP on ComputerNic.ComputerNICipid = ComputerNicIP.ComputerNICIPID\n"
      "left join ComputerNicIPX on ComputerNic.ComputerNICipxid = ComputerNicIPX.ComputerNICIPxID\n"
      "order by ComputerName, Computer.ComputerID, ComputerNicID";

// The import's work inside its transaction; false with the database's reason.
// The prepared statements live as long as the object: PostgreSQL frees them
// only outside a failed transaction, so the object must outlast the rollback.
class Store {
public:
    explicit Store(QSqlDatabase& database)
        : m_database(database), m_addComputer(database), m_addIP(database), m_addIPX(database), m_addCard(database)
    {}

    bool Run(const std::vector<InventoryRow>& cards, ImportCounts& counts)
    {
        if (m_database.driverName() == QLatin1String("QPSQL")
            && !Execute("lock table Computer, ComputerNic, ComputerNicIP, ComputerNicIPX in exclusive mode"))
            return false;
        if (!LoadKnown())
            return false;
        if (!Prepare(m_addComputer, "insert into Computer (ComputerID, ComputerName) values (?, ?)")
            || !Prepare(m_addIP, "insert into ComputerNicIP (ComputerNICIPID, ComputerNicIPNumber) values (?, ?)")
            || !Prepare(m_addIPX, "insert into ComputerNicIPX (ComputerNICIPxID, ComputerNicIPXNumber) values (?, ?)")
            || !Prepare(m_addCard,
                        "insert into ComputerNic (ComputerNicID, ComputerID, ComputerNicMac, ComputerNICipid,"
                        " ComputerNICipxid) values (?, ?, ?, ?, ?)"))
            return false;
        for (const InventoryRow& card : cards) {
            auto [computer, added] = m_computers.try_emplace(card.name, m_lastComputer + 1);
            if (added) {
                ++m_lastComputer;
                ++counts.computersAdded;
                if (!Insert(m_addComputer, {computer->second, QString::fromStdString(card.name)}))
                    return false;
            }
            if (!m_cards.insert(CardKey(computer->second, card.mac, card.ip, card.ipx)).second) {
                ++counts.cardsKnown;
                continue;
            }
            QVariant ip(QMetaType::fromType<qint64>()), ipx(QMetaType::fromType<qint64>());
            if (!card.ip.empty()) {
                ip = ++m_lastIP;
                if (!Insert(m_addIP, {ip, Nullable(card.ip)}))
                    return false;
            }
            if (!card.ipx.empty()) {
                ipx = ++m_lastIPX;
                if (!Insert(m_addIPX, {ipx, Nullable(card.ipx)}))
                    return false;
            }
            if (!Insert(m_addCard, {++m_lastCard, computer->second, Nullable(card.mac), ip, ipx}))
                return false;
            ++counts.cardsAdded;
        }
        return true;
    }

    QString reason;

private:
    static std::string CardKey(qint64 computer, const std::string& mac, const std::string& ip, const std::string& ipx)
    {
        return std::to_string(computer) + '\n' + mac + '\n' + ip + '\n' + ipx;
    }

    bool Fail(const QSqlQuery& query)
    {
        reason = query.lastError().databaseText().simplified();
        if (reason.isEmpty())
            reason = query.lastError().driverText().simplified();
        return false;
    }
    bool Execute(const char* statement)
    {
        QSqlQuery query(m_database);
        return query.exec(QString::fromLatin1(statement)) || Fail(query);
    }
    bool Prepare(QSqlQuery& query, const char* statement)
    {
        return query.prepare(QString::fromLatin1(statement)) || Fail(query);
    }
    bool Insert(QSqlQuery& query, std::initializer_list<QVariant> values)
    {
        int position = 0;
        for (const QVariant& value : values)
            query.bindValue(position++, value);
        return query.exec() || Fail(query);
    }
    bool Largest(const char* column, const char* table, qint64& largest)
    {
        QSqlQuery query(m_database);
        if (!query.exec(QStringLiteral("select max(%1) from %2").arg(QLatin1String(column), QLatin1String(table)))
            || !query.next())
            return Fail(query);
        largest = query.value(0).toLongLong();
        return true;
    }
    bool LoadKnown()
    {
        QSqlQuery query(m_database);
        query.setForwardOnly(true);
        if (!query.exec(QString::fromLatin1(kCards)))
            return Fail(query);
        while (query.next()) {
            const qint64 computer = query.value(0).toLongLong();
            m_computers.try_emplace(Text(query.value(1)), computer);
            m_cards.insert(CardKey(computer, Text(query.value(2)), Text(query.value(3)), Text(query.value(4))));
        }
        // Computers without a card are found by name too.
        if (!query.exec(QStringLiteral("select ComputerID, ComputerName from Computer order by ComputerID")))
            return Fail(query);
        while (query.next())
            m_computers.try_emplace(Text(query.value(1)), query.value(0).toLongLong());
        return Largest("ComputerID", "Computer", m_lastComputer) && Largest("ComputerNicID", "ComputerNic", m_lastCard)
            && Largest("ComputerNICIPID", "ComputerNicIP", m_lastIP)
            && Largest("ComputerNICIPxID", "ComputerNicIPX", m_lastIPX);
    }

    QSqlDatabase& m_database;
    QSqlQuery m_addComputer, m_addIP, m_addIPX, m_addCard;
    std::map<std::string, qint64> m_computers;
    std::set<std::string> m_cards;
    qint64 m_lastComputer = 0, m_lastCard = 0, m_lastIP = 0, m_lastIPX = 0;
};

} // namespace

bool ImportInventory(QSqlDatabase& database, const std::string& fileName, std::string_view text, ImportCounts& counts,
                     std::string& problem)
{
    counts = {};
    std::vector<InventoryRow> cards;
    if (!CheckRows(fileName, text, cards, problem))
        return false;
    if (!database.transaction()) {
        problem = fileName
            + ": cannot start a transaction: " + database.lastError().databaseText().simplified().toStdString();
        return false;
    }
    Store store(database);
    if (!store.Run(cards, counts) || !database.commit()) {
        const QString reason = store.reason.isEmpty() ? database.lastError().databaseText().simplified() : store.reason;
        database.rollback();
        counts = {};
        problem = fileName + ": nothing imported: " + reason.toStdString();
        return false;
    }
    return true;
}

bool ReadInventory(QSqlDatabase& database, std::vector<InventoryRow>& rows, std::string& problem)
{
    rows.clear();
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.exec(QString::fromLatin1(kCards))) {
        problem = query.lastError().databaseText().simplified().toStdString();
        return false;
    }
    while (query.next())
        rows.push_back({Text(query.value(1)), Text(query.value(2)), Text(query.value(3)), Text(query.value(4))});
    return true;
}
