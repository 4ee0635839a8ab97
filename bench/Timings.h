#pragma once

// Percentiles of timings in milliseconds, printed one line per measure.

#include <algorithm>
#include <cstdio>
#include <vector>

namespace Lumivox::Bench {

inline double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline void report(const char *label, const std::vector<double> &ms)
{
    std::printf("%-44s n=%-5zu p50 %7.3f ms   p95 %7.3f ms   max %8.3f ms\n", label, ms.size(), percentile(ms, 0.5),
                percentile(ms, 0.95), percentile(ms, 1.0));
}

} // namespace Lumivox::Bench
