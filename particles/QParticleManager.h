#pragma once
// Keeps a list of attached particle systems and the two node pools (particles and
// batches) they all take their nodes from. Owns every node it ever made; nodes are
// carved from heap blocks of many nodes, so a batch's particles lie side by side.
// Pools never shrink: blocks go back to the heap only when the manager is destroyed.
// Total pool memory is bounded by a budget; growth past it fails like a failed
// allocation, so emission then simply makes fewer particles. Doesn't own its systems.

#include "particles/QBillboardStream.h"
#include "particles/QParticle.h"
#include "particles/QParticleBatch.h"
#include "particles/QParticleSystem.h"

#include <cstddef>
#include <cstdint>

class QMatrix;

class QParticleManager {
public:
    static constexpr size_t DEFAULT_MEMORY_BUDGET = size_t(512) << 20;  // bytes of pool blocks

    // Pre-fills the pools with particleCount + 1 and batchCount + 1 nodes (none for a
    // count of 0), or as many as the budget and the heap allow. A non-growable manager
    // never makes more nodes later.
    QParticleManager(uint32_t particleCount, uint32_t batchCount, bool growable,
                     size_t memoryBudget = DEFAULT_MEMORY_BUDGET);
    // Frees every block. Systems still attached are detached first and left empty,
    // since the nodes they borrow go with the blocks.
    ~QParticleManager();
    QParticleManager(const QParticleManager&) = delete;
    QParticleManager& operator=(const QParticleManager&) = delete;

    // Attaches at the head of the list, after removing the system from any manager
    // it is in (this one included).
    void Add(QParticleSystem* system);
    // Detaches a system of this manager and takes back all its nodes. The system's
    // own `next` is left as it was, so UpdateAll can step on from a system that
    // removed itself during its update. Does nothing for a system of another manager.
    void Remove(QParticleSystem* system);

    // Updates every attached system by t milliseconds, most recently added first.
    void UpdateAll(uint32_t t);
    // Draws every attached system as additive billboards facing the view; view is the
    // camera's rotation (only its first two rows are read). Needs a current GL context.
    // The vertices go through drawStream, so a frame no larger than an earlier one
    // allocates nothing.
    void DrawAll(const QMatrix& view);

    // Head of a chain of at most count nodes (fewer when the pool runs out and can't
    // grow), or null when count is 0 or no node is available.
    QParticle* AllocParticles(uint16_t count);
    // One batch node with next null, or null when none is available.
    QParticleBatch* AllocBatch();
    // Puts a whole chain, in order, in front of the free chain; null does nothing.
    void ReleaseParticles(QParticle* chain);
    // Puts one batch node in front of the free chain; its particles must be released first.
    void ReleaseBatch(QParticleBatch* batch);

    // Pool memory accounting.
    size_t PoolBytes() const { return poolBytes; }                    // bytes of all blocks held
    uint64_t ParticleNodeCount() const { return particleNodeCount; }  // nodes ever made
    uint64_t BatchNodeCount() const { return batchNodeCount; }

    QParticleSystem* systems;     // attached systems, most recently added first
    bool growable;                // an empty pool makes new nodes from the heap
    QParticle* freeParticles;     // head of the free particle chain
    QParticleBatch* freeBatches;  // head of the free batch chain

private:
    struct Block;

    // A fresh node from the spare run of the newest block of its kind (counted in
    // `made`); when that run is used up, from a new block of `wanted` nodes. Null when
    // the budget or the heap refuses.
    template <typename Node> Node* NewNode(Node*& spare, uint64_t& spareCount, uint64_t& made, uint64_t wanted);
    // A chain of count + 1 fresh nodes, shorter when memory runs out; null for a count of 0.
    template <typename Node> Node* PreFill(uint32_t count, Node*& spare, uint64_t& spareCount, uint64_t& made);
    // A new block of `wanted` nodes of nodeSize bytes, or fewer when the budget is
    // nearly spent; returns its first node and sets count, or null when none fit.
    void* NewBlock(size_t nodeSize, uint64_t wanted, uint64_t* count);

    Block* blocks;              // every block made, newest first
    size_t memoryBudget;        // upper bound of poolBytes
    size_t poolBytes;           // bytes of all blocks, headers included
    QParticle* spareParticles;  // untouched nodes left in the newest particle block
    uint64_t spareParticleCount;
    QParticleBatch* spareBatches;  // untouched nodes left in the newest batch block
    uint64_t spareBatchCount;
    uint64_t particleNodeCount;  // particle nodes handed out from blocks so far
    uint64_t batchNodeCount;
    QBillboardStream drawStream;  // DrawAll's vertices, kept between frames
};
