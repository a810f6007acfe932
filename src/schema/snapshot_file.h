#pragma once
// Snapshot files: the whole model of one database on disk, so that a later load can skip the
// system catalog while the schema fingerprint (Version) is unchanged, and so that a schema can
// travel as a file.
//
// The file is line-oriented 8-bit text in the locale's encoding with CR LF line ends. One record
// per logical line: ";" + record type + ";" + field + ";" + field ...; inside a field "\" is
// written "\\", ";" is "\;", a CR LF pair is "\" at the end of the physical line (the value goes
// on at the start of the next one), a lone LF is "\r" and a lone CR is "\n". Record types and the
// letters of escapes are matched without regard to case. The last record, ";End;" + the number
// of records before it, tells a complete file from one cut short; the Index record ends with the
// index's fill factor (files written before have none, and their fill factors are not compared).
#include "platform/db_value.h"
#include "schema/model.h"

#include <QString>
#include <QStringList>

class Progress;

// ---- Values and fields -----------------------------------------------------------------------

// A value as a field's text: Boolean "-1"/"0", whole numbers in decimal, text as is.
inline QString FormatCacheValue(bool value) { return value ? QStringLiteral("-1") : QStringLiteral("0"); }
inline QString FormatCacheValue(long value) { return QString::number(value); }
inline QString FormatCacheValue(int value) { return QString::number(value); }
inline QString FormatCacheValue(const QString& value) { return value; }

// The escaped form of a formatted field (see the file comment). Every character, codes 1 to 3
// included, is read back as written.
QString EncodeCacheField(const QString& text);

// The inverse of EncodeCacheField, read in one pass from left to right: "\\" is "\", "\;" is
// ";", "\" + CR LF (or + LF) is CR LF, "\r" is LF and "\n" is CR; any other "\" stays as it is.
QString DecodeCacheField(const QString& text);

// A complete column record line (without its line end) for record type "TableColumn" or
// "ViewField".
QString FormatFieldRecord(const QString& recordType, const Tovimar_Field& column);

// A column built from the decoded fields of a column record (element 0 empty, element 1 the
// record type, fields from element 2). The column is not yet added to parent; its Parent is set.
// Throws when a field is missing or a number does not fit.
FieldPtr ReadFieldRecord(const QStringList& fields, Tovimar_FieldOwner& parent);

// ---- Files -----------------------------------------------------------------------------------

// "Tovimar_" + the database's FullName with every "\" replaced by "$" and then every "." by "-"
// + ".schema" (no folder): server MAIN\SQL2, database Sales.Archive give
// Tovimar_MAIN$SQL2#Sales-Archive.schema.
QString GetCacheFileName(const Tovimar_Database& db);

// The cache file's full path: GetCacheFileName inside the Schemas folder (platform/app_paths.h).
QString GetCacheFilePath(const Tovimar_Database& db);

// Writes the database to path (its folder is created when missing; a failure there is ignored),
// replacing an existing file only once the new one is complete. Throws TovimarException on any
// other error (the file cannot be written, a text the locale's encoding cannot hold).
void SaveSchemaFile(const QString& path, const Tovimar_Database& db);

// Fills db from the file at path. The model is not cleared first (that is the caller's step).
// Returns true when the file was read — with headerOnly, as soon as its "Database" record has
// been read; false when the file is missing or cannot be opened, or when progress reports that
// the user cancelled (what was read so far stays in the model). Any other problem (a record
// without its parent, a key that is not found or is added twice, a number that does not fit, a
// record with too few fields) throws TovimarException with the line number in the description;
// a file without its End record, with records after it or with another count than it holds
// throws TovimarException 62 (a full read only: a header read stops before the end).
// Progress (may be null): ShowMessage("Loading saved " + record type + " " + full name) before
// each table, trigger, view, procedure and function is added.
bool LoadSchemaFile(const QString& path, Tovimar_Database& db, bool headerOnly, Progress* progress = nullptr);

// The text SaveSchemaFile writes (before it is encoded in the locale's encoding).
QString SchemaFileText(const Tovimar_Database& db);

// LoadSchemaFile on a snapshot's bytes already in memory: false only when the user cancelled.
// sourceName (e.g. the file's path) starts the description of an error.
bool ReadSchemaBytes(const QByteArray& bytes, Tovimar_Database& db, bool headerOnly, Progress* progress = nullptr,
                     const QString& sourceName = QString());

// When db.CreateCache is set, SaveSchemaFile(GetCacheFilePath(db), db); otherwise nothing.
void SaveToCache(const Tovimar_Database& db);

// When db.UseCache is not set: false, nothing else. Otherwise LoadSchemaFile(GetCacheFilePath(db),
// db, headerOnly, progress); when that returns false, db.Version becomes "" and the result is
// false. The catalog loader calls it with headerOnly before its fingerprint query and, after
// clearing the model, without headerOnly when the fingerprints match.
bool LoadFromCache(Tovimar_Database& db, bool headerOnly, Progress* progress = nullptr);
