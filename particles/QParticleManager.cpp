#include "particles/QParticleManager.h"

#include <algorithm>
#include <cassert>
#include <new>

namespace {
// Growth makes at least this many nodes at once, so a pool grows by whole blocks
// instead of one heap allocation per node; an emission that needs more gets one
// block of exactly what it needs, keeping its particles side by side.
constexpr uint64_t PARTICLE_GROWTH_NODES = 512;
constexpr uint64_t BATCH_GROWTH_NODES = 64;
}  // namespace

// Each block starts with this header; its nodes follow it. 16 bytes keep the nodes
// aligned for any of the node types.
struct alignas(16) QParticleManager::Block {
    Block* next;   // older block
    size_t bytes;  // size of the block, header included
};

QParticleManager::QParticleManager(uint32_t particleCount, uint32_t batchCount, bool canGrow, size_t budget)
    : systems(nullptr),
      growable(canGrow),
      freeParticles(nullptr),
      freeBatches(nullptr),
      blocks(nullptr),
      memoryBudget(budget),
      poolBytes(0),
      spareParticles(nullptr),
      spareParticleCount(0),
      spareBatches(nullptr),
      spareBatchCount(0),
      particleNodeCount(0),
      batchNodeCount(0)
{
    freeParticles = PreFill(particleCount, spareParticles, spareParticleCount, particleNodeCount);
    freeBatches = PreFill(batchCount, spareBatches, spareBatchCount, batchNodeCount);
}

QParticleManager::~QParticleManager()
{
    // Every node lives in one of the blocks about to be freed, including those still
    // lent to attached systems: leave such systems empty and detached rather than
    // holding nodes and a manager that no longer exist.
    for (QParticleSystem* system = systems; system != nullptr; system = system->next) {
        system->batches = nullptr;
        system->manager = nullptr;
    }
    systems = nullptr;
    while (blocks != nullptr) {
        Block* older = blocks->next;
        ::operator delete(blocks);
        blocks = older;
    }
}

void QParticleManager::Add(QParticleSystem* system)
{
    assert(system != nullptr);
    if (system->manager != nullptr)
        system->manager->Remove(system);
    system->next = systems;
    systems = system;
    system->manager = this;
}

void QParticleManager::Remove(QParticleSystem* system)
{
    assert(system != nullptr);
    if (system->manager != this)
        return;
    QParticleSystem* previous = nullptr;
    QParticleSystem* entry = systems;
    while (entry != nullptr && entry != system) {
        previous = entry;
        entry = entry->next;
    }
    if (entry == nullptr)
        return;

    QParticleBatch* batch = system->batches;
    while (batch != nullptr) {
        QParticleBatch* older = batch->next;  // ReleaseBatch relinks the node
        ReleaseParticles(batch->particles);
        ReleaseBatch(batch);
        batch = older;
    }
    system->batches = nullptr;

    if (previous == nullptr)
        systems = system->next;
    else
        previous->next = system->next;
    system->manager = nullptr;
}

void QParticleManager::UpdateAll(uint32_t t)
{
    // Read `next` after the update: a system that removed itself still names the
    // system that followed it.
    QParticleSystem* system = systems;
    while (system != nullptr) {
        system->Update(t);
        system = system->next;
    }
}

QParticle* QParticleManager::AllocParticles(uint16_t count)
{
    if (count == 0)
        return nullptr;

    QParticle* head = nullptr;
    QParticle* last = nullptr;
    uint32_t taken = 0;
    QParticle* node = freeParticles;
    while (taken < count && node != nullptr) {
        if (head == nullptr)
            head = node;
        last = node;
        node = node->next;
        ++taken;
    }
    if (taken == count) {
        freeParticles = node;
        last->next = nullptr;
        return head;
    }

    // The free chain is used up (the chain taken ends with its null link).
    freeParticles = nullptr;
    if (!growable)
        return head;
    while (taken < count) {
        const uint64_t wanted = std::max<uint64_t>(count - taken, PARTICLE_GROWTH_NODES);
        QParticle* fresh = NewNode(spareParticles, spareParticleCount, particleNodeCount, wanted);
        if (fresh == nullptr)
            break;
        fresh->next = nullptr;
        if (last == nullptr)
            head = fresh;
        else
            last->next = fresh;
        last = fresh;
        ++taken;
    }
    return head;
}

QParticleBatch* QParticleManager::AllocBatch()
{
    QParticleBatch* batch = freeBatches;
    if (batch == nullptr) {
        if (!growable)
            return nullptr;
        batch = NewNode(spareBatches, spareBatchCount, batchNodeCount, BATCH_GROWTH_NODES);
        if (batch == nullptr)
            return nullptr;
    } else {
        freeBatches = batch->next;
    }
    batch->next = nullptr;
    return batch;
}

void QParticleManager::ReleaseParticles(QParticle* chain)
{
    if (chain == nullptr)
        return;
    QParticle* last = chain;
    while (last->next != nullptr)
        last = last->next;
    last->next = freeParticles;
    freeParticles = chain;
}

void QParticleManager::ReleaseBatch(QParticleBatch* batch)
{
    assert(batch != nullptr);
    batch->next = freeBatches;
    freeBatches = batch;
}

template <typename Node>
Node* QParticleManager::NewNode(Node*& spare, uint64_t& spareCount, uint64_t& made, uint64_t wanted)
{
    if (spareCount == 0) {
        spare = static_cast<Node*>(NewBlock(sizeof(Node), wanted, &spareCount));
        if (spare == nullptr)
            return nullptr;
    }
    Node* node = new (spare) Node();
    ++spare;
    --spareCount;
    ++made;
    return node;
}

template <typename Node>
Node* QParticleManager::PreFill(uint32_t count, Node*& spare, uint64_t& spareCount, uint64_t& made)
{
    // A count N fills a pool with N + 1 nodes: a first node, then N more behind it.
    // When memory runs out part-way the chain simply ends at the last node made.
    if (count == 0)
        return nullptr;
    const uint64_t total = uint64_t(count) + 1;
    Node* head = nullptr;
    Node* last = nullptr;
    for (uint64_t done = 0; done < total; ++done) {
        Node* node = NewNode(spare, spareCount, made, total - done);
        if (node == nullptr)
            break;
        (last == nullptr ? head : last->next) = node;
        last = node;
    }
    return head;
}

void* QParticleManager::NewBlock(size_t nodeSize, uint64_t wanted, uint64_t* count)
{
    *count = 0;
    const size_t header = sizeof(Block);
    const size_t room = memoryBudget > poolBytes ? memoryBudget - poolBytes : 0;
    if (room < header + nodeSize)
        return nullptr;
    const uint64_t nodes = std::min<uint64_t>(wanted, (room - header) / nodeSize);
    const size_t bytes = header + size_t(nodes) * nodeSize;
    void* memory = ::operator new(bytes, std::nothrow);
    if (memory == nullptr)
        return nullptr;
    Block* block = new (memory) Block{blocks, bytes};
    blocks = block;
    poolBytes += bytes;
    *count = nodes;
    return block + 1;
}
