-- The settings database delivered beside the program as "Quietpane.mdb":
-- its tables, column sizes and the rows it is delivered with.
PRAGMA journal_mode = DELETE;

CREATE TABLE Bookmark (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Bookmark TEXT CHECK (Bookmark IS NULL OR length(Bookmark) <= 225)
);

CREATE TABLE HotKeys (
    TaskID INTEGER PRIMARY KEY AUTOINCREMENT,
    HotKey1 INTEGER CHECK (HotKey1 IS NULL OR HotKey1 BETWEEN -2147483648 AND 2147483647),
    HotKey2 INTEGER CHECK (HotKey2 IS NULL OR HotKey2 BETWEEN -2147483648 AND 2147483647),
    HotKey3 INTEGER CHECK (HotKey3 IS NULL OR HotKey3 BETWEEN -2147483648 AND 2147483647),
    HotKey4 INTEGER CHECK (HotKey4 IS NULL OR HotKey4 BETWEEN -2147483648 AND 2147483647),
    -- 1: the hide key hides the mail window and the open dialogs too.
    HideMailWindow INTEGER DEFAULT 0 CHECK (HideMailWindow IS NULL OR HideMailWindow IN (0, 1))
);

CREATE TABLE Email (
    AccountID INTEGER PRIMARY KEY AUTOINCREMENT,
    ServerIn TEXT CHECK (ServerIn IS NULL OR length(ServerIn) <= 50),
    ServerOut TEXT CHECK (ServerOut IS NULL OR length(ServerOut) <= 50),
    Name TEXT CHECK (Name IS NULL OR length(Name) <= 50),
    Email TEXT CHECK (Email IS NULL OR length(Email) <= 50),
    UserID TEXT CHECK (UserID IS NULL OR length(UserID) <= 50),
    PortIn INTEGER CHECK (PortIn IS NULL OR PortIn BETWEEN 0 AND 65535),
    PortOut INTEGER CHECK (PortOut IS NULL OR PortOut BETWEEN 0 AND 65535),
    Password TEXT CHECK (Password IS NULL OR length(Password) <= 50),
    Type TEXT CHECK (Type IS NULL OR length(Type) <= 20),
    -- 1: the user lets the account's sessions run without TLS off this machine.
    AllowPlain INTEGER DEFAULT 0 CHECK (AllowPlain IS NULL OR AllowPlain IN (0, 1))
);

-- Ctrl+Alt+O restores, Ctrl+Alt+H hides.
INSERT INTO HotKeys (HotKey2, HotKey3) VALUES (49231, 49224);

-- One empty account for the mail window to fill in.
INSERT INTO Email (ServerIn) VALUES (NULL);
