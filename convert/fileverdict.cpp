// SPDX-License-Identifier: MIT
#include "convert/fileverdict.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

using Cause = FileOutcome::Cause;

// A source whose encoder reached less than this short of its stated length
// holds all of it: the last frame's time, and the frame rate's rounding.
constexpr double ShortfallSeconds = 0.5;
constexpr double ShortfallShare = 0.02;

// The failure a cause the encoder told makes, with its line where the
// words alone do not say enough.
FileOutcome toldFailure(FileOutcome outcome, const SourceFacts& facts,
                        const EncoderFindings& findings) {
    outcome.verdict = FileOutcome::Verdict::Failed;
    outcome.cause = findings.cause;
    switch (findings.cause) {
    case Cause::PictureSize:
        if (facts.known) {
            outcome.width = facts.width;
            outcome.height = facts.height;
        } else {
            outcome.detail = findings.causeLine;
        }
        break;
    case Cause::NoDecoder:
    case Cause::Unsupported:
    case Cause::WriteFailed:
        outcome.detail = findings.causeLine;
        break;
    default:
        break;
    }
    return outcome;
}

FileOutcome untoldFailure(FileOutcome outcome, Cause cause, const EncoderFindings& findings) {
    outcome.verdict = FileOutcome::Verdict::Failed;
    outcome.cause = cause;
    outcome.detail = findings.lastComplaint;
    return outcome;
}

} // namespace

OutputState OutputState::of(const QString& path) {
    const QFileInfo info(path);
    // A link to nowhere is there too: writing through it would make its target.
    if (!info.exists() && !info.isSymLink())
        return {};
    return {true, info.lastModified(), info.size()};
}

FileOutcome verdictOf(const QString& source, const QString& output, const SourceFacts& facts,
                      const FinishedRun& run) {
    FileOutcome outcome = FileOutcome::success(source);
    outcome.output = output;
    const EncoderFindings& findings = run.findings;
    switch (run.end.kind) {
    case EncoderEnd::Kind::FailedToStart:
        outcome.verdict = FileOutcome::Verdict::Failed;
        outcome.cause = Cause::EncoderNotStarted;
        outcome.tool = run.encoder;
        outcome.detail = run.end.errorText;
        return outcome;
    case EncoderEnd::Kind::Crashed:
    case EncoderEnd::Kind::Running:
        return untoldFailure(outcome, Cause::EncoderCrashed, findings);
    case EncoderEnd::Kind::Exited:
        break;
    }
    // A failed write is told plainly only when the encoder ended with 0;
    // otherwise the exit code and the encoder's last words tell more.
    const bool told = findings.cause != Cause::None && findings.cause != Cause::WriteFailed;
    if (run.end.exitCode != 0) {
        if (told)
            return toldFailure(outcome, facts, findings);
        outcome = untoldFailure(outcome, Cause::ExitCode, findings);
        outcome.exitCode = run.end.exitCode;
        return outcome;
    }
    if (!run.after.exists || run.after == run.before)
        return told ? toldFailure(outcome, facts, findings)
                    : untoldFailure(outcome, Cause::NoOutputWritten, findings);
    // The encoder may end with 0 after a failed write, but it always says so.
    if (findings.cause == Cause::DiskFull || findings.cause == Cause::WriteFailed)
        return toldFailure(outcome, facts, findings);
    // What the source held is all converted, unless the encoder stopped short
    // of the length the source states: its data ends early or breaks off.
    if (const std::optional<double> length = facts.length;
        length &&
        findings.reached + std::max(ShortfallSeconds, *length * ShortfallShare) < *length) {
        outcome.verdict = FileOutcome::Verdict::Partial;
        outcome.cause = Cause::EndsEarly;
        outcome.secondsConverted = findings.reached;
        outcome.secondsStated = *length;
    }
    return outcome;
}

bool removeRunOutput(const QString& path, const FinishedRun& run) {
    const QFileInfo output(path);
    if (run.end.kind == EncoderEnd::Kind::FailedToStart || run.before.exists ||
        run.findings.cause == Cause::OutputExists || output.isSymLink() || !output.isFile())
        return true;
    return QFile::remove(path);
}

bool wantsRetake(const FinishedRun& run, const SourceFacts& listed, const PlanOptions& paths) {
    if (run.before.exists)
        return false;
    return run.findings.cause == Cause::FirstStreamNotVideo ||
           run.findings.cause == Cause::PictureSize ||
           (listed.known && planFor(listed, paths).runs != planFor({}, paths).runs);
}
