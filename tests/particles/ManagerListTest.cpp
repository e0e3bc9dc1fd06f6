#include "ParticleTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using List = std::vector<QParticleSystem*>;

TEST(QParticleManagerList, AddPutsNewestFirstAndReAddingEmptiesAndMovesToHead)
{
    QParticleManager m(0, 0, true), other(0, 0, true);
    auto a = NewSystem(100), b = NewSystem(100), c = NewSystem(100);
    m.Add(a.get());
    m.Add(b.get());
    m.Add(c.get());
    EXPECT_EQ((List{c.get(), b.get(), a.get()}), Systems(m));
    for (int i = 0; i < 10; ++i)
        m.UpdateAll(100);
    const uint32_t freed = Length(m.freeParticles) + Live(*a);
    m.Add(a.get());
    ASSERT_EQ((List{a.get(), c.get(), b.get()}), Systems(m)) << "once in the list, at the head";
    EXPECT_EQ(nullptr, a->batches);
    EXPECT_EQ(freed, Length(m.freeParticles));

    m.UpdateAll(100);
    other.Add(b.get());
    EXPECT_EQ((List{a.get(), c.get()}), Systems(m));
    EXPECT_EQ(&other, b->manager);
    EXPECT_EQ(nullptr, b->batches);
    other.Remove(c.get());  // not its system: nothing happens
    EXPECT_EQ(&m, c->manager);
    EXPECT_GT(Live(*c), 0u);
    m.Remove(c.get());
    m.Remove(c.get());
    EXPECT_EQ((List{a.get()}), Systems(m));
    EXPECT_EQ(nullptr, c->manager);
    EXPECT_EQ(nullptr, c->batches);
}

TEST(QParticleManagerList, DestroyingEitherSideFirstLeavesNothingDangling)
{
    QParticleManager m(0, 0, true);
    auto keep = NewSystem(100);
    m.Add(keep.get());
    auto gone = NewSystem(2000);
    m.Add(gone.get());
    for (int i = 0; i < 10; ++i)
        m.UpdateAll(100);
    gone.reset();
    EXPECT_EQ((List{keep.get()}), Systems(m));
    EXPECT_EQ(m.ParticleNodeCount(), Length(m.freeParticles) + Live(*keep));

    auto orphan = NewSystem(1000);
    {
        QParticleManager short_lived(0, 0, true);
        short_lived.Add(orphan.get());
        short_lived.UpdateAll(100);
        short_lived.UpdateAll(100);
    }
    EXPECT_EQ(nullptr, orphan->manager);
    EXPECT_EQ(nullptr, orphan->batches);
}

TEST(QParticleManagerList, SystemLeavesWhenItsLastBatchDiesAndUpdateAllStepsOn)
{
    for (int place = 0; place < 3; ++place) {
        QParticleManager m(0, 0, true);
        auto first = NewSystem(100), leaving = NewSystem(100, 50, 1.0f, true), last = NewSystem(100);
        List adds{first.get(), last.get()};
        adds.insert(adds.begin() + place, leaving.get());  // tail, middle or head of the list
        for (QParticleSystem* s : adds)
            m.Add(s);
        for (int i = 0; i < 5; ++i)
            m.UpdateAll(16);
        EXPECT_EQ(&m, leaving->manager) << "its first batch died, three live, place " << place;
        leaving->SetEmitRate(0);
        m.UpdateAll(16);
        m.UpdateAll(16);
        EXPECT_EQ(&m, leaving->manager) << "2 ms left, place " << place;
        m.UpdateAll(16);
        EXPECT_EQ(nullptr, leaving->manager) << "place " << place;
        EXPECT_EQ(2u, Systems(m).size());
        EXPECT_EQ(128u, first->secondElapsed) << "every update reached it, place " << place;
        EXPECT_EQ(128u, last->secondElapsed) << "place " << place;
    }
    QParticleManager m(0, 0, true);
    auto idle = NewSystem(0, 50, 1.0f, true);
    m.Add(idle.get());
    for (int i = 0; i < 100; ++i)
        m.UpdateAll(16);
    EXPECT_EQ(&m, idle->manager) << "never had a batch, never leaves";
}

// Compared bytewise, so a setting left out of a copy shows even when it is 0.
#define EXPECT_SAME(field) EXPECT_EQ(0, std::memcmp(&a.field, &b.field, sizeof a.field)) << #field
void ExpectSameSettings(const QParticleSystem& a, const QParticleSystem& b)
{
    EXPECT_SAME(position); EXPECT_SAME(startColor); EXPECT_SAME(endColor); EXPECT_SAME(coneEnabled);
    EXPECT_SAME(coneDirection); EXPECT_SAME(coneTangent); EXPECT_SAME(coneAngle); EXPECT_SAME(coneSpread);
    EXPECT_SAME(size); EXPECT_SAME(texture); EXPECT_SAME(lifetime); EXPECT_SAME(removeWhenEmpty);
    EXPECT_SAME(velocity); EXPECT_SAME(emitRate);
}

TEST(QParticleSystemCopy, CopiesEverySettingButNeverParticlesCountersOrMembership)
{
    QParticleManager m(0, 0, true);
    auto s = NewSystem(300, 700, 2.5f, true, Vec3{1.0f, 2.0f, 3.0f}), target = NewSystem(5);
    const Vec3 axis{0.0f, 1.0f, 0.0f};
    const Color4 red{1.0f, 0.0f, 0.0f, 1.0f}, blue{0.0f, 0.0f, 1.0f, 0.5f};
    s->SetCone(&axis, 20.0f);
    s->SetColors(&red, &blue);
    s->SetSize(0.5f);
    s->SetTexture(9u);
    m.Add(s.get());
    m.Add(target.get());
    m.UpdateAll(600);
    m.UpdateAll(100);
    const QParticleSystem copy(*s);
    ExpectSameSettings(*s, copy);
    EXPECT_TRUE(copy.batches == nullptr && copy.manager == nullptr && copy.next == nullptr);
    EXPECT_TRUE(copy.secondElapsed == 0 && copy.secondEmitted == 0);

    QParticleBatch* batches = target->batches;
    EXPECT_EQ(target.get(), &target->CopySettings(*s));
    ExpectSameSettings(*s, *target);
    EXPECT_TRUE(target->batches == batches && target->manager == &m && target->next == s.get());
    EXPECT_TRUE(target->secondElapsed == 700u && target->secondEmitted == 3);
}
