#include "ParticleTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using List = std::vector<QParticleSystem*>;

TEST(QParticlePool, PreFillsCountPlusOneAndAFixedPoolFallsShort)
{
    QParticleManager m(9, 2, false), none(0, 0, false);
    EXPECT_TRUE(Length(m.freeParticles) == 10u && Length(m.freeBatches) == 3u);
    EXPECT_TRUE(none.freeParticles == nullptr && none.AllocBatch() == nullptr && none.AllocParticles(1) == nullptr);
    QParticle* first = m.freeParticles;
    EXPECT_EQ(nullptr, m.AllocParticles(0));
    ASSERT_EQ(first, m.AllocParticles(3));
    EXPECT_TRUE(first[0].next == first + 1 && first[1].next == first + 2 && first[2].next == nullptr &&
                m.freeParticles == first + 3)
        << "pre-filled nodes lie side by side";
    m.ReleaseParticles(nullptr);
    m.ReleaseParticles(first);
    EXPECT_TRUE(m.freeParticles == first && first[2].next == first + 3) << "released in order, in front";
    QParticle* all = m.AllocParticles(1000);
    EXPECT_EQ(10u, Length(all)) << "a short chain, not none";
    EXPECT_EQ(nullptr, m.AllocParticles(1));
    m.ReleaseParticles(all);
    // The first batch takes all ten; later ones find none and hand their batch node back.
    auto s = NewSystem(1000);
    m.Add(s.get());
    for (int i = 0; i < 30; ++i)
        m.UpdateAll(16);
    EXPECT_TRUE(Live(*s) == 10u && Length(s->batches) == 1u && Length(m.freeBatches) == 2u &&
                m.ParticleNodeCount() == 10u);
}

TEST(QParticlePool, GrowthIsContiguousAndKeepsToTheBudget)
{
    QParticleManager m(0, 0, true), tiny(0, 0, true, 1000), small(0, 0, true, 1 << 20);
    QParticle* grown = m.AllocParticles(300);
    EXPECT_EQ(300u, Length(grown));
    for (QParticle* p = grown; p->next != nullptr; p = p->next)
        ASSERT_EQ(p + 1, p->next) << "a grown chain is contiguous";
    const uint32_t got = Length(tiny.AllocParticles(100));
    EXPECT_TRUE(got * sizeof(QParticle) <= 1000u && (got + 2) * sizeof(QParticle) >= 1000u) << got;
    EXPECT_TRUE(tiny.AllocParticles(1) == nullptr && tiny.AllocBatch() == nullptr);
    EXPECT_EQ(got, Length(QParticleManager(100, 0, false, 1000).freeParticles)) << "pre-fill too";
    auto huge = NewSystem(4000000000u);  // fills the budget and no more
    small.Add(huge.get());
    for (int i = 0; i < 40; ++i)
        small.UpdateAll(16);
    EXPECT_LE(small.PoolBytes(), size_t(1) << 20);
    EXPECT_GT(Live(*huge), (1u << 20) / sizeof(QParticle) * 9 / 10);
}

TEST(QParticleManagerList, AddMovesToTheHeadRemoveTakesOnlyItsOwnAndNothingDangles)
{
    QParticleManager m(0, 0, true);
    auto a = NewSystem(100), b = NewSystem(100), c = NewSystem(100), gone = NewSystem(2000);
    for (QParticleSystem* s : {a.get(), b.get(), c.get(), gone.get()})
        m.Add(s);
    for (int i = 0; i < 10; ++i)
        m.UpdateAll(100);
    gone.reset();  // destroyed while attached: its nodes go back, the list closes up
    m.Add(a.get());
    ASSERT_EQ((List{a.get(), c.get(), b.get()}), Systems(m)) << "once in the list, at the head";
    EXPECT_EQ(m.ParticleNodeCount(), Length(m.freeParticles) + Live(*b) + Live(*c)) << "a's and gone's nodes free";
    {
        QParticleManager other(0, 0, true);
        other.Add(b.get());
        EXPECT_EQ((List{a.get(), c.get()}), Systems(m));
        EXPECT_TRUE(b->manager == &other && b->batches == nullptr);
        other.Remove(c.get());  // not its system: nothing happens
        EXPECT_TRUE(c->manager == &m && Live(*c) > 0u);
        b->Emit(5);
    }  // destroyed while b holds its nodes
    EXPECT_TRUE(b->manager == nullptr && b->batches == nullptr);
    m.Remove(c.get());
    m.Remove(c.get());
    EXPECT_EQ((List{a.get()}), Systems(m));
    EXPECT_TRUE(c->manager == nullptr && c->batches == nullptr);
}

TEST(QParticleManagerList, SystemLeavesDuringItsOwnUpdateAndUpdateAllStepsOn)
{
    for (int place = 0; place < 3; ++place) {
        QParticleManager m(0, 0, true);
        // `idle` may leave when empty too, but never has a batch, so never leaves.
        auto first = NewSystem(100), leaving = NewSystem(100, 50, 1.0f, true), idle = NewSystem(0, 50, 1.0f, true);
        List adds{first.get(), idle.get()};
        adds.insert(adds.begin() + place, leaving.get());  // tail, middle or head of the list
        for (QParticleSystem* s : adds)
            m.Add(s);
        for (int i = 0; i < 5; ++i)
            m.UpdateAll(16);
        leaving->SetEmitRate(0);
        m.UpdateAll(16);
        m.UpdateAll(16);
        EXPECT_EQ(&m, leaving->manager) << "2 ms left, place " << place;
        m.UpdateAll(16);
        EXPECT_TRUE(leaving->manager == nullptr && Systems(m).size() == 2u) << "place " << place;
        EXPECT_TRUE(first->secondElapsed == 128u && idle->secondElapsed == 128u) << "every update, place " << place;
    }
}

TEST(QParticleSystemCopy, CopiesEverySettingButNeverParticlesCountersOrMembership)
{
    QParticleManager m(0, 0, true);
    const Vec3 at{1.0f, 2.0f, 3.0f}, axis{0.0f, 1.0f, 0.0f};
    const Color4 red{1.0f, 0.0f, 0.0f, 1.0f}, blue{0.0f, 0.0f, 1.0f, 0.5f};
    QParticleSystem s(&at, 2.5f, 9u, &red, &blue, 0.5f, 700u, true, 300u);
    auto target = NewSystem(5);  // every setting differs from s
    s.SetCone(&axis, 20.0f);
    m.Add(&s);
    m.Add(target.get());
    m.UpdateAll(600);
    m.UpdateAll(100);
    const QParticleSystem copy(s);
    EXPECT_TRUE(copy.batches == nullptr && copy.manager == nullptr && copy.next == nullptr && copy.secondElapsed == 0 &&
                copy.secondEmitted == 0);
    EXPECT_EQ(target.get(), &target->CopySettings(copy));
    EXPECT_TRUE(Live(*target) == 3u && target->manager == &m && target->next == &s && target->secondElapsed == 700u &&
                target->secondEmitted == 3);
    // Through both copies and compared bytewise, so a setting left out shows even when it is 0.
#define EXPECT_SAME(field) EXPECT_EQ(0, std::memcmp(&s.field, &target->field, sizeof s.field)) << #field
    EXPECT_SAME(position);
    EXPECT_SAME(startColor);
    EXPECT_SAME(endColor);
    EXPECT_SAME(coneEnabled);
    EXPECT_SAME(coneDirection);
    EXPECT_SAME(coneTangent);
    EXPECT_SAME(coneAngle);
    EXPECT_SAME(coneSpread);
    EXPECT_SAME(size);
    EXPECT_SAME(texture);
    EXPECT_SAME(lifetime);
    EXPECT_SAME(removeWhenEmpty);
    EXPECT_SAME(velocity);
    EXPECT_SAME(emitRate);
#undef EXPECT_SAME
}
