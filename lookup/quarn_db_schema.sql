-- The address database: computers, their network cards, and each card's IP
-- and IPX address records. Identifiers are unquoted, so that both engines
-- match them without regard to letter case, as the look-up queries need.
-- Addresses are kept in the text forms the filter window reads:
-- xx:xx:xx:xx:xx:xx for MAC and IPX node addresses, dotted decimal for IP.
-- Statements end in a semicolon; none holds one otherwise.

create table if not exists Computer (
    ComputerID integer not null primary key,
    ComputerName varchar(255) not null
);

create table if not exists ComputerNicIP (
    ComputerNICIPID integer not null primary key,
    ComputerNicIPNumber varchar(15) not null
);

create table if not exists ComputerNicIPX (
    ComputerNICIPxID integer not null primary key,
    ComputerNicIPXNumber varchar(17) not null
);

create table if not exists ComputerNic (
    ComputerNicID integer not null primary key,
    ComputerID integer not null references Computer (ComputerID),
    ComputerNicMac varchar(17),
    ComputerNICipid integer references ComputerNicIP (ComputerNICIPID),
    ComputerNICipxid integer references ComputerNicIPX (ComputerNICIPxID)
);

create index if not exists ComputerNicByComputer on ComputerNic (ComputerID);
