// The record set on a real SQLite file through Qt's own driver and through unixODBC with the
// SQLite ODBC driver, plus the default data source and the seed list.

#include <QFileInfo>
#include <QSet>
#include <QtTest>
#include <cmath>

#include <algorithm>

#include "DBException.h"
#include "MaterialTestSupport.h"
#include "MyRecordSet.h"
#include "OstrelDoc.h"

using namespace materials_test;

class TestRecordSet : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_table;  // the file behind both backends

    CMaterialSource Source(const QString& backend) const {
        if (backend == QStringLiteral("odbc"))
            return OdbcMaterialSource(QString::fromLatin1(kTestDsn));
        return SqliteMaterialSource(m_table, false);
    }

    static QStringList Scan(CMyRecordSet& set) {
        QStringList names;
        for (set.MoveFirst(); !set.IsEOF(); set.MoveNext())
            names << set.m_Material;
        return names;
    }

    static void Backends() {
        QTest::addColumn<QString>("backend");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("odbc") << QStringLiteral("odbc");
    }

private slots:
    void initTestCase() {
        QVERIFY(m_root.isValid());
        m_table = m_root.filePath(QStringLiteral("table.db"));
        IsolateEnvironment(m_root.path(), m_table);
        QVERIFY(EmbeddedMaterialDatabasePath().startsWith(m_root.path()));
    }

    void emptyTable_data() { Backends(); }
    void emptyTable() {
        QFETCH(QString, backend);
        WriteTable(m_table, {});
        CMyRecordSet set(Source(backend));
        QVERIFY(!set.IsOpen());
        set.Open();
        QVERIFY(set.IsOpen());
        QVERIFY(set.IsBOF());
        QVERIFY(set.IsEOF());
        QCOMPARE(Scan(set), QStringList());
        QVERIFY(set.CanUpdate());
        set.Close();
        QVERIFY(!set.IsOpen());
        set.Open();  // may be opened again
        QVERIFY(set.IsOpen());
    }

    void scanOrderAndValues_data() { Backends(); }
    void scanOrderAndValues() {
        QFETCH(QString, backend);
        WriteTable(m_table, {Row("glass", 38.6, 8.27, 4.14, 0.26, 0.4, 1.8, 0),
                             Row("Alumina", 380, 380, 146.2, 0.3, 0.3, 3.8, 0),
                             Row("carbon", 181, 10.3, 7.17, 0.28, 0.4, 1.6, 45)});
        CMyRecordSet set(Source(backend));
        set.Open();
        QVERIFY(!set.IsBOF());
        QVERIFY(!set.IsEOF());
        // Right after opening the first row is current.
        QCOMPARE(set.m_Material, QStringLiteral("glass"));
        QCOMPARE(set.m_ID, 1);
        // The order the data source gives, not sorted.
        QCOMPARE(Scan(set), (QStringList{"glass", "Alumina", "carbon"}));
        QVERIFY(set.IsEOF());
        QVERIFY(!set.IsBOF());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.MoveNext());
        set.MoveFirst();
        set.MoveNext();
        set.MoveNext();
        QCOMPARE(set.m_ID, 3);
        QCOMPARE(set.m_E1GPa, 181.0);
        QCOMPARE(set.m_E2GPa, 10.3);
        QCOMPARE(set.m_G12GPa, 7.17);
        QCOMPARE(set.m_v12, 0.28);
        QCOMPARE(set.m_v23, 0.4);
        QCOMPARE(set.m_p, 1.6);
        QCOMPARE(set.m_Angle, 45.0);
    }

    void addedRowSeenOnlyAfterRequery_data() { Backends(); }
    void addedRowSeenOnlyAfterRequery() {
        QFETCH(QString, backend);
        WriteTable(m_table, {Row("glass", 38.6, 8.27, 4.14, 0.26, 0.4, 1.8, 0)});
        CMyRecordSet set(Source(backend));
        set.Open();
        set.AddNew();
        // Unassigned members read as null and are not written.
        QCOMPARE(set.m_Material, QString());
        QCOMPARE(set.m_p, CMyRecordSet::kNullNumber);
        set.m_Material = QStringLiteral("boron");
        set.m_E1GPa = 204;
        set.m_Angle = 90;
        set.Update();
        QCOMPARE(Scan(set), QStringList{"glass"});
        QCOMPARE(TableRows(m_table).size(), 2);
        set.Requery();
        QCOMPARE(set.m_Material, QStringLiteral("glass"));
        QCOMPARE(Scan(set), (QStringList{"glass", "boron"}));
        QCOMPARE(TableRows(m_table).last(), QStringLiteral("boron|204|NULL|NULL|NULL|NULL|NULL|90"));
        set.MoveFirst();
        set.MoveNext();
        QCOMPARE(set.m_E2GPa, CMyRecordSet::kNullNumber);
        // Update without AddNew writes nothing.
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Update());
    }

    void namesDifferingOnlyInCase_data() { Backends(); }
    void namesDifferingOnlyInCase() {
        QFETCH(QString, backend);
        WriteTable(m_table, {Row("carbon", 1, 1, 1, 0.1, 0.1, 1, 0), Row("Carbon", 2, 2, 2, 0.2, 0.2, 2, 0)});
        CMyRecordSet set(Source(backend));
        set.Open();
        QCOMPARE(Scan(set), (QStringList{"carbon", "Carbon"}));
        set.AddNew();
        set.m_Material = QStringLiteral("CARBON");
        set.Update();
        set.Requery();
        QCOMPARE(Scan(set), (QStringList{"carbon", "Carbon", "CARBON"}));
        // The lookup the form does: exact, letter case counts.
        for (set.MoveFirst(); !set.IsEOF() && set.m_Material != QStringLiteral("Carbon"); set.MoveNext()) {
        }
        QCOMPARE(set.m_E1GPa, 2.0);
    }

    void nullValuesRead_data() { Backends(); }
    void nullValuesRead() {
        QFETCH(QString, backend);
        TestRow noDensity = Row("resin", 3.5, 3.5, 1.3, 0.35, 0.35, 0, 0);
        noDensity.numbers[5].reset();
        TestRow noName = Row("", 1, 2, 3, 0.1, 0.2, 4, 5);
        noName.name.reset();
        WriteTable(m_table, {noDensity, noName});
        CMyRecordSet set(Source(backend));
        set.Open();
        QCOMPARE(set.m_p, -9.123e19);
        QCOMPARE(set.m_E1GPa, 3.5);
        set.MoveNext();
        QCOMPARE(set.m_Material, QString());
        QCOMPARE(set.m_Angle, 5.0);
    }

    void deleteCurrentRow_data() { Backends(); }
    void deleteCurrentRow() {
        QFETCH(QString, backend);
        WriteTable(m_table, {Row("a", 1, 1, 1, 0.1, 0.1, 1, 0), Row("b", 2, 2, 2, 0.2, 0.2, 2, 0),
                             Row("c", 3, 3, 3, 0.3, 0.3, 3, 0)});
        CMyRecordSet set(Source(backend));
        set.Open();
        set.MoveNext();
        set.Delete();
        // Deleted once; the row is no longer current.
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Delete());
        QCOMPARE(TableRows(m_table).size(), 2);
        set.Requery();
        QCOMPARE(Scan(set), (QStringList{"a", "c"}));
        // Past the end there is no current row.
        QVERIFY(set.IsEOF());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Delete());
        QCOMPARE(TableRows(m_table).size(), 2);
    }

    void rowWithoutKeyDeletedByValues() {
        WriteTable(m_table, {});
        {
            DirectConnection db(m_table);
            db.Exec(QStringLiteral("DROP TABLE material"));
            db.Exec(QStringLiteral("CREATE TABLE material (ID INTEGER, Material VARCHAR(255), \"E1(GPa)\" DOUBLE, "
                                   "\"E2(GPa)\" DOUBLE, \"G12(GPa)\" DOUBLE, v12 DOUBLE, v23 DOUBLE, p DOUBLE, "
                                   "Angle DOUBLE)"));
            db.Exec(QStringLiteral("INSERT INTO material (Material, \"E1(GPa)\") VALUES ('a', 1), ('b', 2)"));
        }
        CMyRecordSet set(Source(QStringLiteral("sqlite")));
        set.Open();
        set.MoveNext();
        set.Delete();
        set.Requery();
        QCOMPARE(Scan(set), QStringList{"a"});
    }

    void transactionKeepsRowWhenInsertRefused_data() { Backends(); }
    void transactionKeepsRowWhenInsertRefused() {
        QFETCH(QString, backend);
        WriteTable(m_table, {Row("glass", 38.6, 8.27, 4.14, 0.26, 0.4, 1.8, 0)}, true);
        const QStringList before = TableRows(m_table);
        CMyRecordSet set(Source(backend));
        set.Open();
        QVERIFY(set.CanTransact());
        set.BeginTrans();
        set.Delete();
        set.AddNew();
        set.m_E1GPa = 1;  // the empty name stays NULL, which this table refuses
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Update());
        set.Rollback();
        QCOMPARE(TableRows(m_table), before);
        // The row is back in the keyset too and can be replaced properly.
        set.BeginTrans();
        set.Delete();
        set.AddNew();
        set.m_Material = QStringLiteral("glass2");
        set.Update();
        set.CommitTrans();
        set.Requery();
        QCOMPARE(Scan(set), QStringList{"glass2"});
    }

    void readOnlyDataSource_data() { Backends(); }
    void readOnlyDataSource() {
        QFETCH(QString, backend);
        WriteTable(m_table, {Row("glass", 38.6, 8.27, 4.14, 0.26, 0.4, 1.8, 0)});
        const QStringList before = TableRows(m_table);
        CMaterialSource source = Source(backend);
        if (backend == QStringLiteral("odbc"))
            source = OdbcMaterialSource(QString::fromLatin1(kReadOnlyDsn));
        else
            source.connectOptions = QStringLiteral("QSQLITE_OPEN_READONLY");
        CMyRecordSet set(source);
        set.Open();
        QCOMPARE(Scan(set), QStringList{"glass"});
        set.MoveFirst();
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Delete());
        // Qt's driver says so at once; through ODBC the refusal comes with the write.
        if (!set.CanUpdate()) {
            QVERIFY_THROWS_EXCEPTION(CDBException, set.AddNew());
        } else {
            set.AddNew();
            set.m_Material = QStringLiteral("boron");
            QVERIFY_THROWS_EXCEPTION(CDBException, set.Update());
        }
        QCOMPARE(TableRows(m_table), before);
        QVERIFY(set.IsOpen());
    }

    void missingDataSource_data() { Backends(); }
    void missingDataSource() {
        QFETCH(QString, backend);
        const QString missing = m_root.filePath(QStringLiteral("nowhere.db"));
        CMaterialSource source = backend == QStringLiteral("odbc") ? OdbcMaterialSource(QStringLiteral("NoSuchSource"))
                                                                   : SqliteMaterialSource(missing, false);
        CMyRecordSet set(source);
        try {
            set.Open();
            QFAIL("opened a data source that does not exist");
        } catch (const CDBException& error) {
            QVERIFY(QString::fromStdString(error.m_strError).contains(source.databaseName));
        }
        QVERIFY(!set.IsOpen());
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(set.IsBOF());
        QVERIFY(set.IsEOF());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.MoveFirst());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.AddNew());
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Open());  // and again, not silently
    }

    void missingTable_data() { Backends(); }
    void missingTable() {
        QFETCH(QString, backend);
        WriteTable(m_table, {});
        {
            DirectConnection db(m_table);
            db.Exec(QStringLiteral("DROP TABLE material"));
        }
        CMyRecordSet set(Source(backend));
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Open());
        QVERIFY(!set.IsOpen());
    }

    void dataSourceLookup() {
        QVERIFY(IsOdbcDataSourceDefined(QString::fromLatin1(kTestDsn)));
        QVERIFY(IsOdbcDataSourceDefined(QString::fromLatin1(kTestDsn).toLower()));
        QVERIFY(!IsOdbcDataSourceDefined(QStringLiteral("Material")));
        const CMaterialSource odbc = DefaultMaterialSource(QString::fromLatin1(kTestDsn));
        QCOMPARE(odbc.driver, QStringLiteral("QODBC"));
        QCOMPARE(odbc.databaseName, QString::fromLatin1(kTestDsn));
    }

    // Without a data source "Material" the default is the embedded file, made and seeded once.
    void embeddedDefaultCreatedAndSeededOnce() {
        const QString path = EmbeddedMaterialDatabasePath();
        QVERIFY(path.startsWith(m_root.path()));
        QFile::remove(path);
        const std::vector<CSeedMaterial> seed = LoadSeedMaterials();
        {
            COstrelDoc doc;
            std::shared_ptr<CMyRecordSet> set = EnsureMaterialRecordSet(doc);
            QCOMPARE(doc.m_recordSet, set);
            QCOMPARE(EnsureMaterialRecordSet(doc), set);
            QVERIFY(!QFileInfo::exists(path));  // nothing happens before the first open
            set->Open();
            QCOMPARE(set->Source().driver, QStringLiteral("QSQLITE"));
            QVERIFY(QFileInfo::exists(path));
            QVERIFY(!QFileInfo::exists(path + QStringLiteral(".part")));
            QStringList names = Scan(*set);
            QCOMPARE(names.size(), static_cast<int>(seed.size()));
            set->MoveFirst();
            QCOMPARE(set->m_Material, seed[0].name);
            QCOMPARE(set->m_E1GPa, seed[0].numbers[0]);
            QCOMPARE(set->m_p, seed[0].numbers[5]);
            QVERIFY(set->m_ID > 0);
            set->Delete();
        }
        // A table the user emptied stays as the user left it.
        CMyRecordSet again;
        again.Open();
        QCOMPARE(Scan(again).size(), static_cast<int>(seed.size()) - 1);
    }

    void embeddedDefaultInUnwritableDirectory() {
        // A regular file where the data directory should be: the database cannot be made.
        const QString blocked = m_root.filePath(QStringLiteral("blocked"));
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        CMyRecordSet set(SqliteMaterialSource(blocked + QStringLiteral("/materials.sqlite"), true));
        QVERIFY_THROWS_EXCEPTION(CDBException, set.Open());
        QVERIFY(!set.IsOpen());
    }

    void seedListHoldsPlausibleLiteratureValues() {
        const std::vector<CSeedMaterial> seed = LoadSeedMaterials();
        QVERIFY(seed.size() >= 20);
        QSet<QString> names;
        int isotropic = 0;
        for (const CSeedMaterial& row : seed) {
            QVERIFY2(!names.contains(row.name), qPrintable(row.name));
            names.insert(row.name);
            QVERIFY(row.name.size() <= 255);
            const double e1 = row.numbers[0], e2 = row.numbers[1], g12 = row.numbers[2];
            const double v12 = row.numbers[3], v23 = row.numbers[4], density = row.numbers[5];
            QVERIFY2(e1 >= e2 && e2 > 0 && g12 > 0, qPrintable(row.name));
            QVERIFY2(v12 > 0 && v12 < 0.5 && v23 > 0 && v23 < 1, qPrintable(row.name));
            QVERIFY2(density > 1 && density < 20, qPrintable(row.name));
            QCOMPARE(row.numbers[6], 0.0);
            QVERIFY2(!row.source.isEmpty(), qPrintable(row.name));
            if (e1 == e2) {
                ++isotropic;
                QCOMPARE(v23, v12);
                QVERIFY2(std::fabs(g12 - e1 / (2 * (1 + v12))) < 0.006, qPrintable(row.name));
            }
        }
        QVERIFY(isotropic >= 8);
        for (const char* wanted : {"T300/5208 carbon/epoxy", "AS4/3501-6 carbon/epoxy", "IM7/8552 carbon/epoxy",
                                   "E-glass/epoxy", "S-glass/epoxy", "Kevlar 49/epoxy", "titanium Ti-6Al-4V",
                                   "zirconia ZrO2 (3Y-TZP)", "silicon nitride Si3N4 (hot-pressed)"})
            QVERIFY2(names.contains(QString::fromLatin1(wanted)), wanted);
    }

    void seedRowsAgreeWithTheirHandbookValues() {
        // E1, E2, G12, v12 as the cited tables give them; a seed value may differ by rounding
        // only (5 % at most).
        struct Reference {
            const char* name;
            double e1, e2, g12, v12;
        };
        const Reference references[] = {
            {"T300/5208 carbon/epoxy", 181, 10.3, 7.17, 0.28}, {"AS/3501 carbon/epoxy", 138, 8.96, 7.1, 0.3},
            {"AS4/3501-6 carbon/epoxy", 147, 10.3, 7.0, 0.27}, {"E-glass/epoxy", 41, 10.4, 4.3, 0.28},
            {"S-glass/epoxy", 45, 11, 4.5, 0.29},               {"Kevlar/epoxy", 80, 5.5, 2.2, 0.34},
            {"Kevlar 49/epoxy", 76, 5.5, 2.3, 0.34},           {"T300/914C carbon/epoxy", 138, 11, 5.5, 0.28},
            {"E-glass/MY750 epoxy", 45.6, 16.2, 5.83, 0.278},   {"Boron/epoxy B(4)/5505", 204, 18.5, 5.59, 0.23},
        };
        const std::vector<CSeedMaterial> seed = LoadSeedMaterials();
        for (const Reference& ref : references) {
            const auto row = std::find_if(seed.begin(), seed.end(), [&](const CSeedMaterial& m) { return m.name == QLatin1String(ref.name); });
            QVERIFY2(row != seed.end(), ref.name);
            const double wanted[4] = {ref.e1, ref.e2, ref.g12, ref.v12};
            for (int i = 0; i < 4; ++i)
                QVERIFY2(std::fabs(row->numbers[i] - wanted[i]) <= 0.05 * wanted[i],
                         qPrintable(QStringLiteral("%1, value %2: %3 for %4").arg(ref.name).arg(i).arg(row->numbers[i]).arg(wanted[i])));
        }
        // A row that could not be checked says so.
        for (const CSeedMaterial& row : seed)
            if (row.name.startsWith(QLatin1String("alumina Al2O3 99.5")))
                QVERIFY2(row.source.contains(QLatin1String("not checked")), qPrintable(row.source));
    }

    void seedListExportsAsCsvForCopy() {
        CSeedMaterial steel;
        steel.name = QStringLiteral("steel \"S355\", rolled");
        const double numbers[7] = {210, 210, 80.77, 0.3, 0.3, 7.85, 0};
        std::copy(std::begin(numbers), std::end(numbers), steel.numbers);
        steel.source = QStringLiteral("EC3");
        CSeedMaterial tiny;
        tiny.name = QStringLiteral("x");
        const double small[7] = {1e-7, 2.5e21, 1, 0.125, 0.5, 1234567.891, -45};
        std::copy(std::begin(small), std::end(small), tiny.numbers);
        QCOMPARE(SeedMaterialsCsv({steel, tiny}),
                 QStringLiteral("Material,E1(GPa),E2(GPa),G12(GPa),v12,v23,p,Angle\n"
                                "\"steel \"\"S355\"\", rolled\",210,210,80.77,0.3,0.3,7.85,0\n"
                                "\"x\",1e-07,2.5e+21,1,0.125,0.5,1234567.891,-45\n"));
        // The program's own list, every row of it.
        const QString all = SeedMaterialsCsv(LoadSeedMaterials());
        QCOMPARE(all.count(QLatin1Char('\n')), int(LoadSeedMaterials().size()) + 1);
    }

    void seedListErrorsNameTheLine() {
        const QString header = QStringLiteral("Material,E1(GPa),E2(GPa),G12(GPa),v12,v23,p,Angle,Source\n");
        QCOMPARE(ParseSeedMaterials(QStringLiteral("# only comments\n\n") + header).size(), std::size_t(0));
        try {
            ParseSeedMaterials(header + QStringLiteral("# c\nsteel,200,200,x,0.3,0.3,7.8,0,EC3\n"));
            QFAIL("read a row with a word for a number");
        } catch (const CDBException& error) {
            QVERIFY(QString::fromStdString(error.m_strError).contains(QStringLiteral("line 3")));
        }
        QVERIFY_THROWS_EXCEPTION(CDBException, ParseSeedMaterials(QStringLiteral("steel,1,1,1,1,1,1,1,x\n")));
        QVERIFY_THROWS_EXCEPTION(CDBException, ParseSeedMaterials(header + QStringLiteral("steel,1,1\n")));
    }
};

QTEST_GUILESS_MAIN(TestRecordSet)
#include "test_recordset.moc"
