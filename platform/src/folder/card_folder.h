// The files of one memory card folder: which are databases, in which order,
// and what a new database's file is called.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace hotsync::detail {

// Database files (.pdb, .prc) of the card: first those the card's `order`
// file names, in its order, then the others in file-name order. Names only:
// whether each is a readable database is for checkDatabaseFile to say.
std::vector<std::string> listDatabaseFiles(const std::filesystem::path& cardDir);

// A file name for a database: its name in UTF-8, made safe for the file
// system, plus .prc or .pdb; a suffix keeps it clear of `taken`.
std::string databaseFileName(const std::string& dbName, bool resourceDb, const std::set<std::string>& taken);

// Removes temporary files a killed writer left behind.
void removeStaleTemporaries(const std::filesystem::path& cardDir);
// Whether `name` is such a temporary.
bool isWriterTemporary(const std::string& name);

// Why `file` cannot be a database, without following a link, without
// waiting on a FIFO, and without reading more than its header before its
// size is known to fit what the header describes; empty when it may be one.
std::string checkDatabaseFile(const std::filesystem::path& file);

// Replacing a database by one in another file (Tarvo.prc by Tarvo.pdb) is
// two changes; a record of the intent, written first, lets the next connect
// finish what a killed process began. Throws when it cannot be written.
void beginReplace(const std::filesystem::path& cardDir, const std::string& oldFile, const std::string& newFile);
void endReplace(const std::filesystem::path& cardDir);
// At connect: removes the replaced file (and its journal) when its
// replacement landed, then the record.
void finishInterruptedReplace(const std::filesystem::path& cardDir);

}  // namespace hotsync::detail
