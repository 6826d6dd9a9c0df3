// Loads the module the way a host loads a plug-in, without linking it, to see its resource tree
// come with it and go with it.

#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

const char* const kModulePath = KESDATAGRAPH_MODULE_PATH;
const char* const kCatalog = ":/kesdatagraph/KQRC_MODSTRINGS_fr_CA";

void* LoadModule() {
    void* module = dlopen(kModulePath, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(module, nullptr) << dlerror();
    return module;
}

bool ModuleIsMapped() {
    void* module = dlopen(kModulePath, RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) {
        return false;
    }
    dlclose(module); // drops the reference RTLD_NOLOAD just took
    return true;
}

TEST(ModuleUnloadTest, ResourceTreeComesWithTheModuleAndGoesWithIt) {
    ASSERT_FALSE(QFile::exists(kCatalog));

    void* module = LoadModule();
    ASSERT_NE(module, nullptr);

    EXPECT_TRUE(QFile::exists(kCatalog));
    EXPECT_EQ(QFile(kCatalog).size(), 23);

    ASSERT_EQ(dlclose(module), 0) << dlerror();

    EXPECT_FALSE(ModuleIsMapped())
        << "dlclose() left the module mapped; see module.NoGnuUniqueSymbols";
    EXPECT_FALSE(QFile::exists(kCatalog))
        << "the module's exit routine did not unregister the tree";
}

TEST(ModuleUnloadTest, LoadingTheModuleAgainRegistersTheTreeAgain) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        void* module = LoadModule();
        ASSERT_NE(module, nullptr);

        EXPECT_EQ(QFile(kCatalog).size(), 23);

        ASSERT_EQ(dlclose(module), 0) << dlerror();
        EXPECT_FALSE(QFile::exists(kCatalog)) << "the tree outlived the module";
    }
}

} // namespace
