#include "filters/filter_sys.h"

#include <algorithm>
#include <cmath>

#include "filters/rollover.h"

namespace tarvelin {

namespace {

// Parameters and state are single precision, the running value double precision. Each helper
// below widens a float where it is used and narrows a new state only when it is stored, in
// exactly the order the filter is defined with: the same string must give the same motion,
// value for value, and a widening moved by one step would change the last bits of it.

constexpr double twoPi = 6.283185307179586;
constexpr double cycleSeconds = 0.002;

double emaStep(float& state, double x, double divisor) {
    if (std::fabs(divisor) < 1.0) divisor = 1.0;
    const double s = state;
    state = static_cast<float>(s + (x - s) / divisor);
    return state;
}

double logistic(double x, float limit, float gain) {
    double L = limit;
    if (std::fabs(L) < 1e-9) L = std::copysign(1e-9, L);
    const double k = 0.0002 / std::pow(L / 100.0, 2.0);
    const double t = std::clamp(static_cast<double>(gain) * x, -1000000.0, 1000000.0);
    const double e = std::exp(t * (-k * L));
    const double h = L * 0.5;
    const double r = L / (e * (L / h - 1.0) + 1.0) - h;
    return r + r;
}

double remap(double x, float inLow, float inHigh, float outLow, float outHigh) {
    const double d = static_cast<double>(inHigh) - static_cast<double>(inLow);
    if (!(std::fabs(d) > 1e-9)) return x;
    return (x - inLow) * ((static_cast<double>(outHigh) - static_cast<double>(outLow)) / d) + outLow;
}

double bitscale(double x, float inMax, float outMax) {
    if (std::fabs(static_cast<double>(inMax)) < 1e-9) return 0.0;
    if (x < 0.0) return 0.0;
    return std::min(static_cast<double>(inMax), x) / inMax * outMax;
}

double bitscaleSigned(double x, float inMax, float outMax) {
    if (std::fabs(static_cast<double>(inMax)) < 1e-9) return 0.0;
    const double bound = inMax;
    return std::min(bound, std::max(-bound, x)) / bound * outMax;
}

double sinus(float& phase, float amplitude, float frequency) {
    phase = static_cast<float>(phase + static_cast<double>(frequency) * twoPi * cycleSeconds);
    if (phase > twoPi) phase = static_cast<float>(std::fmod(static_cast<double>(phase), twoPi));
    return static_cast<double>(std::sin(phase)) * amplitude;
}

// SPIKE, EDYNLP and LDYNLP: changes inside the dead band pass at once, larger jumps are
// slowed the more the larger their excess over the band.
double dynamicLowPass(float& state, double x, float deadBand, float factor, double exponent) {
    const double s = state;
    const double d = x - s;
    if (std::fabs(d) > deadBand) {
        const double g = std::max(1.0, std::pow(std::fabs(d) - deadBand, exponent) * factor);
        state = static_cast<float>(s + d / g);
        return state;
    }
    state = static_cast<float>(x);
    return x;
}

}  // namespace

FilterSys::~FilterSys() {
    std::shared_ptr<FilterSys> link = std::move(prev);
    // A node that someone else still holds stops the unlinking; its own destructor takes over
    // when that holder lets go.
    while (link && link.use_count() == 1) {
        std::shared_ptr<FilterSys> further;
        {
            std::lock_guard<std::mutex> lock(link->linkMutex);
            further = std::move(link->prev);
        }
        link = std::move(further);
    }
}

std::shared_ptr<FilterSys> FilterSys::previous() {
    std::lock_guard<std::mutex> lock(linkMutex);
    return prev;
}

std::shared_ptr<FilterSys> FilterSys::following() {
    std::lock_guard<std::mutex> lock(linkMutex);
    return next.lock();
}

std::shared_ptr<FilterSys> FilterSys::findHead() {
    std::shared_ptr<FilterSys> current = shared_from_this();
    for (;;) {
        std::shared_ptr<FilterSys> before = current->previous();
        if (!before) return current;
        current = std::move(before);
    }
}

double FilterSys::apply(double x, double valueScale, double lowPassScale, double highPassScale) {
    switch (type) {
    case FilterType::Value:
        return x * valueScale;
    case FilterType::Emalp:
        return emaStep(state, x, param1 * lowPassScale);
    case FilterType::Emahp:
        return x - emaStep(state, x, param1 * highPassScale);
    case FilterType::Mul:
    case FilterType::Gain:
        return x * param1;
    case FilterType::Logistic:
        return logistic(x, param1, param2);
    case FilterType::Crop:
        return std::max(static_cast<double>(param1), std::min(static_cast<double>(param2), x));
    case FilterType::Rollover:
        return rollover(x, param1);
    case FilterType::Remap:
        return remap(x, param1, param2, param3, param4);
    case FilterType::Noise:
        return noise ? x + noise->step() : x;
    case FilterType::Bitscale:
        return bitscale(x, param1, param2);
    case FilterType::BitscaleSigned:
        return bitscaleSigned(x, param1, param2);
    case FilterType::Sinus:
        return sinus(state, param1, param2);
    case FilterType::Abs:
        return std::fabs(x);
    case FilterType::SetValue:
        return param1;
    case FilterType::Add:
        return x + param1;
    case FilterType::Spike:
        return dynamicLowPass(state, x, param1, param2, param3);
    case FilterType::Edynlp:
        return dynamicLowPass(state, x, param1, param2, 2.0);
    case FilterType::Ldynlp:
        return dynamicLowPass(state, x, param1, param2, 1.0);
    }
    return x;
}

void linkInFront(FilterSys& head, const std::shared_ptr<FilterSys>& node) {
    {
        std::lock_guard<std::mutex> lock(head.linkMutex);
        head.prev = node;
    }
    std::lock_guard<std::mutex> lock(node->linkMutex);
    node->next = head.weak_from_this();
}

std::shared_ptr<FilterSys> prependFilter(const std::shared_ptr<FilterSys>& handle, FilterType type, float p1,
                                         float p2, float p3, float p4) {
    // Nodes are made with new, not make_shared: the weak `next` links would otherwise keep a
    // dead node's memory allocated until its successor dies too.
    std::shared_ptr<FilterSys> node(new FilterSys);
    node->type = type;
    node->name = filterTypeName(type);
    node->param1 = p1;
    node->param2 = p2;
    node->param3 = p3;
    node->param4 = p4;
    if (type == FilterType::Noise) node->noise = std::make_shared<NoiseLayer>(p1, p2, p3);
    if (!handle) return node;
    linkInFront(*handle->findHead(), node);
    return handle;
}

double evaluate(const std::shared_ptr<FilterSys>& handle, double x, double valueScale, double lowPassScale,
                double highPassScale) {
    if (!handle || !handle->valid.load()) return 0.0;
    std::shared_ptr<FilterSys> node = handle->findHead();
    double value = x;
    for (;;) {
        value = node->apply(value, valueScale, lowPassScale, highPassScale);
        std::shared_ptr<FilterSys> after = node->following();
        if (!after) return value;
        node = std::move(after);
    }
}

}  // namespace tarvelin
