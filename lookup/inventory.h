// The inventory of known computers in the address database: filled from a CSV
// file of computer name, MAC, IP and IPX address (one line per network card),
// and read back whole.
#pragma once

#include <QSqlDatabase>

#include <string>
#include <string_view>
#include <vector>

// One network card of a computer; an empty address is none.
struct InventoryRow {
    std::string name, mac, ip, ipx;
    bool operator==(const InventoryRow&) const = default;
};

struct ImportCounts {
    int computersAdded = 0;
    int cardsAdded = 0;
    int cardsKnown = 0; // rows whose card the computer already had
};

// Check every row of `text`, the contents of `fileName` (a header line, then
// one card per line; rows with one name are cards of one computer), and store
// them in one transaction. A bad row gives "FILE:LINE: reason" in `problem`
// and stores nothing; so does any database error. A card that its computer
// already has, with the same addresses, is not stored twice.
bool ImportInventory(QSqlDatabase& database, const std::string& fileName, std::string_view text, ImportCounts& counts,
                     std::string& problem);

// Every card of every computer, by computer name, cards in the order stored.
bool ReadInventory(QSqlDatabase& database, std::vector<InventoryRow>& rows, std::string& problem);

// The columns of the import file, as its header line names them.
inline const std::vector<std::string> kInventoryHeader = {"Computer", "MAC", "IP", "IPX"};
