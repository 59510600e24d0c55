#include "platform/os/resources.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace qm::os {

void PrintTo(const ResourceId& id, std::ostream* os) {
    if (id.isNumber())
        *os << id.number;
    else
        *os << '"' << id.text << '"';
}

namespace {

// A table as the packer might emit it, deliberately out of directory order,
// with a duplicate, a lower-case name and one name shared by both types.
const uint8_t kPipl[] = {1, 2, 3, 4};
const uint8_t kPiplAlt[] = {9};
const uint8_t kZeta[] = {5, 5};
const uint8_t kFive[] = {7};
const uint8_t kBeta[] = {8, 8, 8};
const uint8_t kUnderscore[] = {6};
const uint8_t kOtherFive[] = {42, 43};
const uint8_t kHelp[] = {1};

#define QM_RES(type, name, bytes) {type, name, bytes, sizeof(bytes)}
const QmResourceId kPiplType{"PIPL", 0};
const QmResourceId kNumType{nullptr, 2000};

const QmResource kEntries[] = {
    QM_RES(kPiplType, (QmResourceId{nullptr, 16000}), kPipl),
    QM_RES(kNumType, (QmResourceId{nullptr, 5}), kOtherFive),
    QM_RES(kPiplType, (QmResourceId{"ZETA", 0}), kZeta),
    QM_RES(kPiplType, (QmResourceId{nullptr, 5}), kFive),
    QM_RES(kPiplType, (QmResourceId{"B_X", 0}), kUnderscore),
    QM_RES(kNumType, (QmResourceId{"HELP", 0}), kHelp),
    QM_RES(kPiplType, (QmResourceId{"beta", 0}), kBeta),
    QM_RES(kPiplType, (QmResourceId{nullptr, 16000}), kPiplAlt),
};
#undef QM_RES

const QmResourceTable kTable{QM_RESOURCE_TABLE_MAGIC, sizeof(kEntries) / sizeof(kEntries[0]),
                             kEntries};

std::vector<ResourceId> namesOf(const ResourceModule& m, const ResourceId& type,
                                size_t stopAfter = SIZE_MAX) {
    std::vector<ResourceId> seen;
    m.enumerateNames(type, [&](const ResourceId& id) {
        seen.push_back(id);
        return seen.size() < stopAfter;
    });
    return seen;
}

ResourceId text(const char* t) { return ResourceId{t, 0}; }

TEST(ResourceIdTest, ParsesTextAndNumberForms) {
    struct Case {
        const char* in;
        ResourceId want;
    } cases[] = {
        {"pipl", text("PIPL")},
        {"MiXed_1", text("MIXED_1")},
        {"#123", ResourceId::of(123u)},
        {"#0", ResourceId::of(0u)},
        {"#4294967295", ResourceId::of(4294967295u)},
        {"#4294967296", text("#4294967296")},  // does not fit: stays a text
        {"#12a", text("#12A")},
        {"#", text("#")},
        {"123", text("123")},  // without '#' digits are a text name
    };
    for (const Case& c : cases) EXPECT_EQ(ResourceId::of(c.in), c.want) << c.in;
}

TEST(ResourceModuleTest, FindsTheMatchingEntry) {
    ResourceModule m(&kTable);
    struct Case {
        ResourceId type, name;
        const uint8_t* data;
        size_t size;
    } cases[] = {
        {ResourceId::of("PIPL"), ResourceId::of(16000u), kPipl, sizeof(kPipl)},
        {ResourceId::of("pipl"), ResourceId::of("#16000"), kPipl, sizeof(kPipl)},
        {ResourceId::of("PIPL"), ResourceId::of("zeta"), kZeta, sizeof(kZeta)},
        {ResourceId::of("PIPL"), ResourceId::of("BETA"), kBeta, sizeof(kBeta)},
        {ResourceId::of("PIPL"), ResourceId::of(5u), kFive, sizeof(kFive)},
        {ResourceId::of(2000u), ResourceId::of(5u), kOtherFive, sizeof(kOtherFive)},
        {ResourceId::of("#2000"), ResourceId::of("Help"), kHelp, sizeof(kHelp)},
    };
    for (const Case& c : cases) {
        auto got = m.find(c.type, c.name);
        ASSERT_TRUE(got.has_value())
            << testing::PrintToString(c.type) << "/" << testing::PrintToString(c.name);
        EXPECT_EQ(got->data(), c.data);
        EXPECT_EQ(got->size(), c.size);
    }
}

TEST(ResourceModuleTest, MissesWhatIsNotThere) {
    ResourceModule m(&kTable);
    EXPECT_FALSE(m.find(ResourceId::of("PIPL"), ResourceId::of(16001u)));
    EXPECT_FALSE(m.find(ResourceId::of("PIPL"), ResourceId::of("HELP")));  // other type's name
    EXPECT_FALSE(m.find(ResourceId::of("2000"), ResourceId::of(5u)));      // text, not number
    EXPECT_FALSE(m.find(ResourceId::of(16000u), ResourceId::of(16000u)));
    EXPECT_FALSE(m.find(ResourceId::of("PIPL"), ResourceId::of("ZET")));
}

TEST(ResourceModuleTest, EnumeratesInDirectoryOrder) {
    ResourceModule m(&kTable);
    // Texts compared upper-cased byte by byte ("BETA" < "B_X"), then numbers;
    // the duplicate 16000 once.
    std::vector<ResourceId> pipl = {text("BETA"), text("B_X"), text("ZETA"), ResourceId::of(5u),
                                    ResourceId::of(16000u)};
    EXPECT_EQ(namesOf(m, ResourceId::of("pipl")), pipl);
    std::vector<ResourceId> numbered = {text("HELP"), ResourceId::of(5u)};
    EXPECT_EQ(namesOf(m, ResourceId::of(2000u)), numbered);
    EXPECT_TRUE(namesOf(m, ResourceId::of("NONE")).empty());
}

TEST(ResourceModuleTest, EnumerationStopsWhenTheCallbackSaysSo) {
    ResourceModule m(&kTable);
    std::vector<ResourceId> firstTwo = {text("BETA"), text("B_X")};
    EXPECT_EQ(namesOf(m, ResourceId::of("PIPL"), 2), firstTwo);
}

TEST(ResourceModuleTest, ForeignOrMissingTableHoldsNothing) {
    const QmResourceTable badMagic{QM_RESOURCE_TABLE_MAGIC ^ 1u, kTable.count, kEntries};
    for (const QmResourceTable* t : {&badMagic, static_cast<const QmResourceTable*>(nullptr)}) {
        ResourceModule m(t);
        EXPECT_FALSE(m.find(ResourceId::of("PIPL"), ResourceId::of(16000u)));
        EXPECT_TRUE(namesOf(m, ResourceId::of("PIPL")).empty());
    }
}

}  // namespace
}  // namespace qm::os
