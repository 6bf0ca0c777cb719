#pragma once

#include <QString>

namespace quietpane {

// Where the program keeps the settings database and its "Screen" and "Attach" folders, decided
// once at start for both windows.
//
// A program whose own folder is writable and holds the database (a build, an unpacked copy)
// keeps everything beside itself. An installed program (/usr/bin/quietpane) cannot write there:
// each user then has a copy of the delivered database of their own in
// $XDG_DATA_HOME/Quietpane/, made at the first start and never replaced afterwards, private to
// the user because it holds the mail password.
struct TProgramDataPlaces {
    QString programFolder;     // folder of the program file
    QString deliveredDatabase; // the database as installed with the program
    QString userDataFolder;    // $XDG_DATA_HOME/Quietpane
};

// The places of the running program: its folder, <prefix>/share/quietpane/Quietpane.mdb beside
// <prefix>/bin, and the user's data folder.
TProgramDataPlaces RunningProgramPlaces();

// The folder that holds the database, "Screen" and "Attach" for these places. A program folder
// that holds the database keeps it, made private to its owner (0600). For the user's folder it
// makes the folder (0700), the user's database from the delivered one (0600) when
// there is none yet, and the two folders (0700); a database of an older version is brought up
// to the delivered one's tables and columns, keeping its rows. Failures to make the copy are left
// to the windows, whose opening of the missing database reports them.
QString PrepareProgramData(const TProgramDataPlaces& places);

// Makes the folder (and its parents) and gives it to the user alone (0700), also when it
// existed: attachments, screen captures and the password-holding database live in such folders.
void MakePrivateFolder(const QString& path);

// Adds to the database at path the tables and columns of the delivered database that it lacks;
// new tables get the delivered rows. Existing tables, columns and rows are left as they are.
void AddMissingSettings(const QString& path, const QString& deliveredDatabase);

} // namespace quietpane
