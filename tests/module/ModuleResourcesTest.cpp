#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QResource>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The signature every binary translation catalog starts with.
const char* const kSignature = "3cb86418caef9c95cd211cbf60a1bddd";

struct Catalog {
    const char* locale;
    qint64 size;
    const char* numerusRules; // the whole block after the signature, hex; empty for none
};

// Rule bytes: 01 n is "equal to n", 03 n "at most n", ff separates the forms' rules, 24 a b "n
// modulo 100 from a to b", 2a n "n modulo 100 at least n".
const std::vector<Catalog> kCatalogs = {
    {"de_DE", 23, "88000000020101"},
    {"en_GB", 23, "88000000020101"},
    {"es_ES", 23, "88000000020101"},
    {"it_IT", 23, "88000000020101"},
    {"fr_FR", 23, "88000000020301"},
    {"fr_CA", 23, "88000000020301"},
    {"pt_BR", 23, "88000000020301"},
    {"ga_IE", 26, "88000000050101ff0102"},
    {"ar_YE", 36, "880000000f0100ff0101ff0102ff24030aff2a0b"},
    {"ja_JP", 16, ""},
    {"ko_KR", 16, ""},
    {"zh_CN", 16, ""},
    {"zh_TW", 16, ""},
};

QString ResourcePath(const Catalog& catalog) {
    return QString(":/kesdatagraph/KQRC_MODSTRINGS_") + catalog.locale;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        return {};
    }
    return file.readAll();
}

TEST(ModuleResourcesTest, EachCatalogHoldsExactlyTheSignatureAndItsLanguagesPluralRules) {
    for (const Catalog& catalog : kCatalogs) {
        SCOPED_TRACE(catalog.locale);
        const QByteArray bytes = ReadAll(ResourcePath(catalog));

        EXPECT_EQ(bytes.size(), catalog.size);
        EXPECT_EQ(bytes.left(16).toHex().toStdString(), kSignature);
        EXPECT_EQ(bytes.mid(16).toHex().toStdString(), catalog.numerusRules);
    }
}

TEST(ModuleResourcesTest, ModuleDirectoryHoldsTheThirteenCatalogsAndNothingElse) {
    QStringList expected;
    for (const Catalog& catalog : kCatalogs) {
        expected << QString("KQRC_MODSTRINGS_") + catalog.locale;
    }
    expected.sort();

    const QDir directory(":/kesdatagraph");

    EXPECT_EQ(directory.entryList(QDir::Files, QDir::Name), expected);
    EXPECT_TRUE(directory.entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

TEST(ModuleResourcesTest, CatalogsAreStoredUncompressedWithATimestampForEveryLocale) {
    for (const Catalog& catalog : kCatalogs) {
        SCOPED_TRACE(catalog.locale);
        // Looked up under a locale of its own, a catalog filed under the neutral locale is still
        // found.
        const QResource resource(ResourcePath(catalog), QLocale(QLocale::Irish, QLocale::Ireland));

        ASSERT_TRUE(resource.isValid());
        EXPECT_EQ(resource.compressionAlgorithm(), QResource::NoCompression);
        EXPECT_EQ(resource.size(), catalog.size);
        EXPECT_TRUE(resource.lastModified().isValid()); // the first tree layout had no timestamps
    }
}

TEST(ModuleResourcesTest, QtsTranslatorAcceptsEveryCatalog) {
    for (const Catalog& catalog : kCatalogs) {
        SCOPED_TRACE(catalog.locale);
        QTranslator translator;

        // The loader refuses malformed plural rules, so this checks the rule bytes' grammar.
        EXPECT_TRUE(translator.load(ResourcePath(catalog)));
        EXPECT_TRUE(translator.isEmpty());
    }
}

} // namespace
