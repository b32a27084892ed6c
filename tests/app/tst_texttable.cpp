#include "TextTable.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestTextTable : public QObject
{
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
    void everyIdHasText();
    void unknownIdsGiveNothing();
};

// The texts whose letters are easy to lose: accents, spelling kept as the program has it, and
// trailing spaces.
void TestTextTable::texts_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("expected");
    QTest::newRow("101") << 101 << u"Erreur"_s;
    QTest::newRow("202") << 202 << u"Le Systeme d'Information est indisponible"_s;
    QTest::newRow("301") << 301 << u"%s Repertoires Scannés"_s;
    QTest::newRow("302") << 302 << u"Espace Disque Libre : %s Mb "_s;
    QTest::newRow("303") << 303 << u"Espace Disque Total : %s Mb "_s;
    QTest::newRow("304") << 304 << u"Scan Repertoire : "_s;
    QTest::newRow("305") << 305 << u"Arrêter Scan du Disque [-%s-]"_s;
    QTest::newRow("306") << 306 << u"Arrêter Scan avant de Quitter"_s;
    QTest::newRow("311") << 311 << u"Poucentage"_s;
    QTest::newRow("314") << 314 << u"Comparer Taille avec Taille du Repertoire Parent"_s;
    QTest::newRow("318") << 318 << u"Page. "_s;
    QTest::newRow("319") << 319 << u"Disque [-%s-] Répertoire [-%s-]"_s;
    QTest::newRow("1002") << 1002 << u"A&ffichage"_s;
    QTest::newRow("1007") << 1007 << u"Comparer Taille avec Taille du Repertoire &Parent"_s;
    QTest::newRow("1013") << 1013 << u"&Imprimer Contenu du Répertoire"_s;
}

void TestTextTable::texts()
{
    QFETCH(int, id);
    QFETCH(QString, expected);
    QCOMPARE(TextTable::text(id), expected);
}

void TestTextTable::everyIdHasText()
{
    const QList<int> ids = TextTable::ids();
    QCOMPARE(ids.size(), 37);
    for (int id : ids)
        QVERIFY2(!TextTable::text(id).isEmpty(), qPrintable(QString::number(id)));
    QCOMPARE(TextTable::text(TextId::MenuScanRefresh), TextTable::text(1014));
}

void TestTextTable::unknownIdsGiveNothing()
{
    for (int id : {0, 100, 307, 322, 999, 1015, 65535, -1})
        QVERIFY(TextTable::text(id).isEmpty());
}

QTEST_APPLESS_MAIN(TestTextTable)
#include "tst_texttable.moc"
