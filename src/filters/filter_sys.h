#pragma once
// Filter chains: the nodes that turn one telemetry value into one motion value, once per
// engine cycle, and the operations that build and evaluate them.
//
// A chain is a doubly linked list whose strong links point backwards. The last node, the
// chain handle, is what a profile slot holds; it owns its predecessor through `prev`, which
// owns its own, down to the first node (a VALUE node in a parsed chain). The `next` links are
// weak, so releasing the handle releases the whole chain. Evaluation starts at the first node
// and runs forwards, so it must find the first node from the handle and then climb back up.
//
// Threads: the links of a node are guarded by its `linkMutex`, held only while one link is
// read or written and never together with another lock. Parameters, state and the noise
// layer are not locked: a chain is evaluated by one thread at a time. Another thread may drop
// its reference to a chain that is being evaluated; the evaluation holds references to the
// nodes it visits and ends early if the rest of the chain has gone meanwhile.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "filters/filter_type.h"
#include "filters/noise_layer.h"

namespace tarvelin {

class FilterSys : public std::enable_shared_from_this<FilterSys> {
public:
    FilterSys() = default;
    // Releases the chain behind this node one node at a time: a plain recursive release of a
    // chain thousands of nodes long (a long filter string) would overflow the stack.
    ~FilterSys();

    FilterSys(const FilterSys&) = delete;
    FilterSys& operator=(const FilterSys&) = delete;

    // The first node of the chain this node belongs to (this node when it has no `prev`).
    // Locks one node at a time; does not allocate.
    std::shared_ptr<FilterSys> findHead();

    // The node evaluated before this one, and the one after it (null when there is none or
    // when it no longer exists). Each takes this node's linkMutex for the copy.
    std::shared_ptr<FilterSys> previous();
    std::shared_ptr<FilterSys> following();

    // Applies this node's filter to the running value x, advancing its state.
    double apply(double x, double valueScale, double lowPassScale, double highPassScale);

    FilterType type = FilterType::Value;
    std::string name;
    float param1 = 0.0f;
    float param2 = 0.0f;
    float param3 = 0.0f;
    float param4 = 0.0f;
    float state = 0.0f;
    std::shared_ptr<FilterSys> prev;  // guarded by linkMutex
    std::weak_ptr<FilterSys> next;    // guarded by linkMutex
    std::shared_ptr<NoiseLayer> noise;
    std::mutex linkMutex;
    // Meaningful on the chain handle only: the chain was parsed completely. Set and cleared
    // with atomic exchanges.
    std::atomic<bool> valid{false};
};

// Makes a node of the given kind with its canonical name and parameters (and, for NOISE, its
// noise layer with amplitude p1, period p2 and seed p3) and puts it in front of the chain
// whose handle is given. Returns the given handle, or the new node when the handle is null.
std::shared_ptr<FilterSys> prependFilter(const std::shared_ptr<FilterSys>& handle, FilterType type, float p1,
                                         float p2, float p3, float p4);

// Links `node` in front of `head`, which must be the first node of its chain. Used by the
// parser, which keeps track of the first node itself instead of searching for it each time.
void linkInFront(FilterSys& head, const std::shared_ptr<FilterSys>& node);

// The chain's output for input x: 0.0 when the handle is null or not valid. The profiles pass
// 1.0 for the three scales. Not to be called by two threads at once on the same chain (the
// filters' state is not locked); safe while another thread drops or replaces the chain.
// Does not allocate.
double evaluate(const std::shared_ptr<FilterSys>& handle, double x, double valueScale, double lowPassScale,
                double highPassScale);

}  // namespace tarvelin
