#pragma once
// Where the material table lives: the ODBC data source "Material" when the driver manager
// knows one (a shared database, for example PostgreSQL through psqlODBC), otherwise an embedded
// SQLite file in the per-user data directory, created and seeded on first use.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class COstrelDoc;
class CMyRecordSet;

inline constexpr const char* kMaterialDataSourceName = "Material";
inline constexpr const char* kMaterialTable = "material";
inline constexpr const char* kMaterialDatabaseFile = "materials.sqlite";

struct CMaterialSource {
    QString driver;            // Qt SQL driver: "QODBC" or "QSQLITE"
    QString databaseName;      // the ODBC data source name, or the SQLite file
    QString connectOptions;    // passed to the driver unchanged
    bool createIfMissing = false;  // an embedded file that is made and seeded on first open
};

// The nine column names in binding order, unquoted (the driver quotes them).
const QStringList& MaterialColumns();

// True when the ODBC driver manager lists a user or system data source of this name.
bool IsOdbcDataSourceDefined(const QString& name);

CMaterialSource OdbcMaterialSource(const QString& dataSourceName);
CMaterialSource SqliteMaterialSource(const QString& path, bool createIfMissing);

// The embedded database file: materials.sqlite in the per-user application data directory.
QString EmbeddedMaterialDatabasePath();

// The data source "Material" through ODBC when it is defined, else the embedded file.
CMaterialSource DefaultMaterialSource(const QString& dataSourceName = kMaterialDataSourceName);

// One row of the seed list kept with the program.
struct CSeedMaterial {
    QString name;
    double numbers[7] = {};  // E1, E2, G12 (GPa), v12, v23, density (g/cm3), angle
    QString source;
};

// Reads the seed list (a header line, comma-separated rows, '#' comments). Raises
// CDBException naming the line when a row does not read.
std::vector<CSeedMaterial> ParseSeedMaterials(const QString& text);
// The seed list compiled into the program.
std::vector<CSeedMaterial> LoadSeedMaterials();

// The rows as a CSV file for loading into a shared table (for example with psql's \copy): a
// header of the eight column names the program writes, then one row per material; names are
// quoted, numbers in C notation.
QString SeedMaterialsCsv(const std::vector<CSeedMaterial>& rows);

// Makes a new SQLite file at path with the table and the given rows. The file appears only
// complete: it is built under a temporary name and renamed into place. Raises CDBException.
void CreateMaterialDatabase(const QString& path, const std::vector<CSeedMaterial>& rows);

// The document's record set, made on the default data source when the document has none yet.
// Nothing is connected until the record set is first opened.
std::shared_ptr<CMyRecordSet> EnsureMaterialRecordSet(COstrelDoc& doc);
