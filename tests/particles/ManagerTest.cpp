#include "ParticleTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using List = std::vector<QParticleSystem*>;

TEST(QParticlePool, PreFillsCountPlusOneAndAFixedPoolFallsShort)
{
    QParticleManager m(9, 2, false), none(0, 0, false);
    EXPECT_EQ(10u, Length(m.freeParticles)) << "free particles";
    EXPECT_EQ(3u, Length(m.freeBatches)) << "free batches";
    EXPECT_EQ(nullptr, none.freeParticles) << "fixed pool of none";
    EXPECT_EQ(nullptr, none.AllocBatch()) << "fixed pool of none";
    EXPECT_EQ(nullptr, none.AllocParticles(1)) << "fixed pool of none";
    QParticle* first = m.freeParticles;
    EXPECT_EQ(nullptr, m.AllocParticles(0));
    ASSERT_EQ(first, m.AllocParticles(3));
    EXPECT_EQ(first + 1, first[0].next) << "pre-filled nodes lie side by side";
    EXPECT_EQ(first + 2, first[1].next) << "pre-filled nodes lie side by side";
    EXPECT_EQ(nullptr, first[2].next) << "the chain handed out ends";
    EXPECT_EQ(first + 3, m.freeParticles) << "the free list goes on after it";
    m.ReleaseParticles(nullptr);
    m.ReleaseParticles(first);
    EXPECT_EQ(first, m.freeParticles) << "released in order, in front";
    EXPECT_EQ(first + 3, first[2].next) << "released in order, in front";
    QParticle* all = m.AllocParticles(1000);
    EXPECT_EQ(10u, Length(all)) << "a short chain, not none";
    EXPECT_EQ(nullptr, m.AllocParticles(1));
    m.ReleaseParticles(all);
    // The first batch takes all ten; later ones find none and hand their batch node back.
    auto s = NewSystem(1000);
    m.Add(s.get());
    for (int i = 0; i < 30; ++i)
        m.UpdateAll(16);
    EXPECT_EQ(10u, Live(*s)) << "live particles";
    EXPECT_EQ(1u, Length(s->batches)) << "batches of the system";
    EXPECT_EQ(2u, Length(m.freeBatches)) << "free batches";
    EXPECT_EQ(10u, m.ParticleNodeCount()) << "particle nodes";
}

TEST(QParticlePool, GrowthIsContiguousAndKeepsToTheBudget)
{
    QParticleManager m(0, 0, true), tiny(0, 0, true, 1000), small(0, 0, true, 1 << 20);
    QParticle* grown = m.AllocParticles(300);
    EXPECT_EQ(300u, Length(grown));
    for (QParticle* p = grown; p->next != nullptr; p = p->next)
        ASSERT_EQ(p + 1, p->next) << "a grown chain is contiguous";
    const uint32_t got = Length(tiny.AllocParticles(100));
    EXPECT_LE(got * sizeof(QParticle), 1000u) << got << " particles within the budget";
    EXPECT_GE((got + 2) * sizeof(QParticle), 1000u) << got << " particles: the budget used";
    EXPECT_EQ(nullptr, tiny.AllocParticles(1)) << "budget spent";
    EXPECT_EQ(nullptr, tiny.AllocBatch()) << "budget spent";
    EXPECT_EQ(got, Length(QParticleManager(100, 0, false, 1000).freeParticles)) << "pre-fill too";
    auto huge = NewSystem(2000000000u);  // fills the budget and no more
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
        EXPECT_EQ(&other, b->manager) << "b";
        EXPECT_EQ(nullptr, b->batches) << "b";
        other.Remove(c.get());  // not its system: nothing happens
        EXPECT_EQ(&m, c->manager) << "c";
        EXPECT_GT(Live(*c), 0u) << "c";
        b->Emit(5);
    }  // destroyed while b holds its nodes
    EXPECT_EQ(nullptr, b->manager) << "b";
    EXPECT_EQ(nullptr, b->batches) << "b";
    m.Remove(c.get());
    m.Remove(c.get());
    EXPECT_EQ((List{a.get()}), Systems(m));
    EXPECT_EQ(nullptr, c->manager) << "c";
    EXPECT_EQ(nullptr, c->batches) << "c";
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
        EXPECT_EQ(nullptr, leaving->manager) << "place " << place;
        EXPECT_EQ(2u, Systems(m).size()) << "place " << place;
        EXPECT_EQ(128u, first->secondElapsed) << "every update, place " << place;
        EXPECT_EQ(128u, idle->secondElapsed) << "every update, place " << place;
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
    EXPECT_EQ(nullptr, copy.batches) << "copy";
    EXPECT_EQ(nullptr, copy.manager) << "copy";
    EXPECT_EQ(nullptr, copy.next) << "copy";
    EXPECT_EQ(0u, copy.secondElapsed) << "copy";
    EXPECT_EQ(0, copy.secondEmitted) << "copy";
    EXPECT_EQ(target.get(), &target->CopySettings(copy));
    EXPECT_EQ(3u, Live(*target)) << "target";
    EXPECT_EQ(&m, target->manager) << "target";
    EXPECT_EQ(&s, target->next) << "target";
    EXPECT_EQ(700u, target->secondElapsed) << "target";
    EXPECT_EQ(3, target->secondEmitted) << "target";
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
