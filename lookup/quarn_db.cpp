#include "lookup/quarn_db.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <filesystem>
#include <system_error>

const QString QueryMAC = QStringLiteral("select ComputerName, ComputerNicMac from Computer, ComputerNic\n"
                                        "where Computer.ComputerID = ComputerNic.ComputerID");
const QString QueryIP
    = QStringLiteral("select ComputerName, ComputerNicIPNumber from Computer, ComputerNicIP,ComputerNIC\n"
                     "where Computer.ComputerID = ComputerNic.ComputerID\n"
                     "and ComputerNic.ComputerNICipid = ComputerNICIp.ComputerNICIPID ");
const QString QueryIPX
    = QStringLiteral("select ComputerName, ComputerNicIPXNumber from Computer, ComputerNicIPX,ComputerNIC\n"
                     "where Computer.ComputerID = ComputerNic.ComputerID\n"
                     "and ComputerNic.ComputerNICipxid = ComputerNICIpx.ComputerNICIPxID ");

namespace {

const QStringList kTables = {"computer", "computernic", "computernicip", "computernicipx"};

// What the database said, on one line.
QString Reason(const QSqlError& error)
{
    QString text = error.databaseText().simplified();
    if (text.isEmpty())
        text = error.driverText().simplified();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

// The schema file's statements: comments dropped, split at semicolons.
QStringList SchemaStatements()
{
    QFile file(QStringLiteral(":/lookup/quarn_db_schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            text += line + QLatin1Char('\n');
    QStringList statements;
    for (const QString& statement : text.split(QLatin1Char(';')))
        if (!statement.trimmed().isEmpty())
            statements << statement.trimmed();
    return statements;
}

bool Execute(QSqlDatabase& database, const QString& statement, QString& reason)
{
    QSqlQuery query(database);
    if (query.exec(statement))
        return true;
    reason = Reason(query.lastError());
    return false;
}

} // namespace

QuarnDBConnection::QuarnDBConnection(const QString& connectionName)
    : m_name(connectionName), m_location(ResolveQuarnDB())
{}

QuarnDBConnection::~QuarnDBConnection()
{
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase database = QSqlDatabase::database(m_name, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QString QuarnDBConnection::Name() const
{
    if (m_location.postgres)
        return QStringLiteral("%1 (PostgreSQL service %1 in %2)")
            .arg(QLatin1String(kQuarnDBAlias), QString::fromStdString(m_location.serviceFile));
    return QStringLiteral("%1 (SQLite file %2)")
        .arg(QLatin1String(kQuarnDBAlias), QString::fromStdString(m_location.sqliteFile));
}

bool QuarnDBConnection::Open(QString& problem)
{
    QSqlDatabase database = QSqlDatabase::contains(m_name)
        ? QSqlDatabase::database(m_name, false)
        : QSqlDatabase::addDatabase(m_location.postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), m_name);
    QString reason;
    if (!Connect(database, reason) || !CreateTables(database, reason)) {
        database.close();
        problem = QStringLiteral("Cannot open the address database %1: %2").arg(Name(), reason);
        return false;
    }
    return true;
}

bool QuarnDBConnection::Connect(QSqlDatabase& database, QString& reason)
{
    if (!database.isValid()) {
        reason = QStringLiteral("the Qt SQL driver %1 is not installed")
                     .arg(m_location.postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"));
        return false;
    }
    if (m_location.postgres) {
        // The service decides the server, database and user.
        database.setConnectOptions(QStringLiteral("service=%1;connect_timeout=%2")
                                       .arg(QLatin1String(kQuarnDBAlias))
                                       .arg(kConnectTimeoutSeconds));
        if (!database.open()) {
            reason = Reason(database.lastError());
            return false;
        }
        return true;
    }
    const std::filesystem::path file(m_location.sqliteFile);
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) {
        reason = QStringLiteral("cannot make the directory %1: %2")
                     .arg(QString::fromStdString(file.parent_path().string()), QString::fromStdString(error.message()));
        return false;
    }
    database.setDatabaseName(QString::fromStdString(m_location.sqliteFile));
    if (!database.open()) {
        reason = Reason(database.lastError());
        return false;
    }
    // Opening succeeds on any file; the first read tells whether it is a database.
    return Execute(database, QStringLiteral("pragma foreign_keys = on"), reason)
        && Execute(database, QStringLiteral("select count(*) from sqlite_master"), reason);
}

bool QuarnDBConnection::CreateTables(QSqlDatabase& database, QString& reason)
{
    QStringList present = database.tables();
    for (QString& table : present)
        table = table.toLower();
    bool complete = true;
    for (const QString& table : kTables)
        complete = complete && present.contains(table);
    if (complete)
        return true;

    const QStringList statements = SchemaStatements();
    if (statements.isEmpty()) {
        reason = QStringLiteral("the schema is missing from the program");
        return false;
    }
    database.transaction();
    for (const QString& statement : statements)
        if (!Execute(database, statement, reason)) {
            database.rollback();
            reason = QStringLiteral("cannot create the tables: %1").arg(reason);
            return false;
        }
    if (!database.commit()) {
        reason = QStringLiteral("cannot create the tables: %1").arg(Reason(database.lastError()));
        return false;
    }
    return true;
}
