// SPDX-License-Identifier: MIT
#include "convert/conversionplan.h"

namespace {

// High dynamic range to the BT.709 range the encoder's output is shown in:
// to linear light in BT.709 primaries, highlights rolled off into range, and
// back. The input's colours are named, since a stream may tag only its
// transfer, and zscale then finds no way between the colour spaces.
QString toneMapFrom(QLatin1String transfer) {
    return QStringLiteral("zscale=tin=%1:pin=bt2020:min=bt2020nc:t=linear:p=bt709:npl=100,"
                          "format=gbrpf32le,tonemap=tonemap=mobius:desat=0,"
                          "zscale=t=bt709:m=bt709:r=tv,format=yuv420p")
        .arg(transfer);
}

// The filters a source needs before the encoder can take it, in the order
// they apply: fields are woven into frames before anything else touches
// them, and the width is made even last, on the picture as it will be shown.
QStringList filtersFor(const SourceFacts& facts) {
    QStringList filters;
    if (facts.interlaced)
        filters << QStringLiteral("yadif=deint=interlaced");
    if (facts.transfer != SourceFacts::Transfer::Standard)
        filters << toneMapFrom(transferName(facts.transfer));
    // The wmv2 encoder takes only even widths; an odd height is fine.
    if (facts.width % 2 != 0)
        filters << QStringLiteral("scale=w='iw+mod(iw,2)':h=ih");
    return filters;
}

} // namespace

ConversionPlan planFor(const SourceFacts& facts, const PlanOptions& options) {
    ConversionPlan plan;
    plan.length = facts.length;
    if (!facts.hasVideo())
        return plan;
    QStringList arguments{QStringLiteral("-i"), options.source, QStringLiteral("-map"),
                          QStringLiteral("0:%1").arg(facts.known ? facts.videoStream : 0),
                          QStringLiteral("-an")};
    if (const QStringList filters = filtersFor(facts); !filters.isEmpty())
        arguments << QStringLiteral("-vf") << filters.join(u',');
    arguments << QStringLiteral("-vcodec") << QStringLiteral("wmv2") << QStringLiteral("-b")
              << QStringLiteral("5872k") << QStringLiteral("-r") << QStringLiteral("25.00")
              << options.output;
    plan.runs.append({arguments});
    return plan;
}
