// The address database behind the alias "QuarnDB": its connection, its tables
// and the three look-up queries of the pick-lists. Qt SQL, no widgets.
#pragma once

#include <QSqlDatabase>
#include <QString>

#include "lookup/database_alias.h"

// The pick-lists' queries, word for word (line breaks and blanks included).
extern const QString QueryMAC;
extern const QString QueryIP;
extern const QString QueryIPX;

// Seconds a PostgreSQL connection attempt may take before it is given up.
inline constexpr int kConnectTimeoutSeconds = 3;

// One connection to the database the alias resolves to, under a connection
// name of its own (several may be open at once). Closed and removed when the
// object goes; every query and model on it must be gone by then.
class QuarnDBConnection {
public:
    explicit QuarnDBConnection(const QString& connectionName);
    ~QuarnDBConnection();
    QuarnDBConnection(const QuarnDBConnection&) = delete;
    QuarnDBConnection& operator=(const QuarnDBConnection&) = delete;

    // Connect; a SQLite file and its directory are made on first use. The
    // tables are created when any is missing. On failure `problem` names the
    // database and the reason, for the operator.
    bool Open(QString& problem);

    QSqlDatabase Database() const { return QSqlDatabase::database(m_name, false); }
    const QuarnDBLocation& Location() const { return m_location; }
    // The database as the operator knows it: "QuarnDB (SQLite file /path)".
    QString Name() const;

private:
    bool Connect(QSqlDatabase& database, QString& reason);
    bool CreateTables(QSqlDatabase& database, QString& reason);

    QString m_name;
    QuarnDBLocation m_location;
};
