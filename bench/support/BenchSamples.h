// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QVector>

namespace ZimbrelBench {

// One measured value, written to standard output as
//   sample <TAB> figure <TAB> subject <TAB> value
// for bench/run to gather; everything meant for people goes to stderr.
void emitSample(const QString &figure, const QString &subject, double value);

// Nearest-rank percentile (fraction 0.5 is the median); NaN for no values.
double percentile(QVector<double> values, double fraction);

} // namespace ZimbrelBench
