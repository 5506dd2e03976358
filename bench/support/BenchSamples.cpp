// SPDX-License-Identifier: MIT
#include "BenchSamples.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ZimbrelBench {

void emitSample(const QString &figure, const QString &subject, double value)
{
    std::printf("sample\t%s\t%s\t%.3f\n", qPrintable(figure), qPrintable(subject), value);
    std::fflush(stdout);
}

double percentile(QVector<double> values, double fraction)
{
    if (values.isEmpty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const auto rank = qsizetype(std::ceil(fraction * values.size()));
    return values[std::clamp<qsizetype>(rank - 1, 0, values.size() - 1)];
}

} // namespace ZimbrelBench
