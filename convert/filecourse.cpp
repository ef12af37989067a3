// SPDX-License-Identifier: MIT
#include "convert/filecourse.h"

#include <algorithm>

namespace {

using Cause = FileOutcome::Cause;
using Kind = Step::Kind;
using Role = CourseRun::Role;
using State = CourseRun::State;

Step step(Kind kind) {
    Step next;
    next.kind = kind;
    return next;
}

Step finish(const Course& course, FileOutcome outcome) {
    // Whatever run told it, the outcome is the source's, under its output's name.
    outcome.source = course.paths.source;
    outcome.output = course.paths.output;
    // The reason must not blame a probe tool that is there.
    if (outcome.cause == Cause::FirstStreamNotVideo)
        outcome.tool = course.probeTool;
    Step next = step(Kind::Finish);
    next.outcome = std::move(outcome);
    return next;
}

Step fail(const Course& course, Cause cause, const QString& detail = {}) {
    FileOutcome outcome = FileOutcome::failure(course.paths.source, cause);
    outcome.detail = detail;
    return finish(course, std::move(outcome));
}

Step start(Kind kind, EncoderRun run) {
    Step next = step(kind);
    next.run = std::move(run);
    return next;
}

const CourseRun* lastOf(const Course& course, Role role) {
    const auto found = std::find_if(course.runs.crbegin(), course.runs.crend(),
                                    [role](const CourseRun& run) { return run.role == role; });
    return found == course.runs.crend() ? nullptr : &*found;
}

bool runs(const Course& course, State state) {
    return std::any_of(course.runs.begin(), course.runs.end(),
                       [state](const CourseRun& run) { return run.state == state; });
}

// Whether the plain run gives way to the probe tool's facts.
bool callsForProbe(const Course& course, const CourseRun& plain) {
    if (wantsRetake(plain.record, course.listed.value_or(SourceFacts()), course.paths))
        return true;
    // A plain run that converted the source before it could be stopped stands.
    return course.listed && mayBeCut(*course.listed, course.encoders) &&
           !plain.record.before.exists &&
           (plain.state == State::Running || !plain.outcome.converted());
}

// The steps of a source cut into parts; empty once they give way to one whole run.
std::optional<Step> splitStep(const Course& course) {
    QList<int> frames;
    for (const CourseRun& run : course.runs) {
        if (run.role != Role::Part)
            continue;
        if (run.state == State::Ended && !run.stopped && !run.outcome.converted() &&
            run.outcome.cause != Cause::NoOutputWritten)
            return runs(course, State::Running) ? step(Kind::Stop) : finish(course, run.outcome);
        frames << run.record.findings.frames;
    }
    if (runs(course, State::Waiting) || runs(course, State::Running))
        return step(Kind::Wait);
    if (!partsExact(*course.split, frames))
        return std::nullopt;
    if (course.listFailed)
        return fail(course, Cause::WriteFailed, *course.listFailed);
    const CourseRun* join = lastOf(course, Role::Join);
    if (!join)
        return step(Kind::Join);
    if (!join->outcome.converted())
        return finish(course, join->outcome);
    if (join->record.findings.frames != joinedFrames(*course.split, frames))
        return std::nullopt;
    if (course.renameFailed)
        return fail(course, Cause::WriteFailed, *course.renameFailed);
    if (course.renamed)
        return finish(course, join->outcome);
    // Never over a file that came meanwhile, a link to nowhere included:
    // the rename would write through it.
    if (course.outputThere)
        return fail(course, Cause::OutputExists);
    return step(Kind::Rename);
}

} // namespace

bool mayBeCut(const SourceFacts& listed, int encoders) {
    // The listing tells no frame rate; at 25 fps the lead is the shortest there is.
    SourceFacts atShortestLead = listed;
    atShortestLead.frameRate = OutputFrameRate;
    return partsFor(atShortestLead, {encoders, encoders, std::nullopt, std::nullopt}) > 1;
}

Step nextStep(const Course& course) {
    const bool running = runs(course, State::Running);
    if (course.interrupted) {
        if (running)
            return step(Kind::Stop);
        if (course.asking)
            return step(Kind::Wait);
        // An encoder that had ended whole before the stop reached it keeps its output.
        Course settled = course;
        settled.interrupted = false;
        if (const Step after = nextStep(settled);
            after.kind == Kind::Finish && after.outcome.converted())
            return after;
        return fail(course, Cause::Interrupted);
    }
    if (course.asking)
        return step(Kind::Wait);

    if (!course.probed) {
        const CourseRun* plain = lastOf(course, Role::Plain);
        if (!plain) {
            if (course.probeFirst && !course.probeTool.isEmpty())
                return step(Kind::Probe);
            return start(Kind::StartPlain, planFor({}, course.paths).runs.value(0));
        }
        const bool retake = !course.probeTool.isEmpty() && callsForProbe(course, *plain);
        if (plain->state == State::Running)
            return step(retake ? Kind::Stop : Kind::Wait);
        if (!retake)
            return finish(course, plain->outcome);
        return course.retakeBlocked ? fail(course, Cause::RetakeBlocked) : step(Kind::Retake);
    }

    const SourceFacts& facts = *course.probed;
    const bool wholeBegun = lastOf(course, Role::Whole) != nullptr;
    // An output already there is declined by the whole run, as ever.
    const bool cut = !course.split && course.parts > 1 && !course.outputThere;
    if (cut && !course.keyFrames) {
        Step next = step(Kind::FindKeyFrames);
        for (const qint64 first : partStarts(facts, course.parts, {}))
            next.seeks << partSeek(first, leadInFrames(facts).value_or(0));
        return next;
    }
    if (cut) {
        Step next = step(Kind::Cut);
        next.starts = partStarts(facts, course.parts, *course.keyFrames);
        return next;
    }
    if (course.split && !wholeBegun) {
        if (const std::optional<Step> next = splitStep(course))
            return *next;
    }

    const ConversionPlan plan = planFor(facts, course.paths);
    if (plan.runs.isEmpty())
        return fail(course, Cause::NoVideo);
    qsizetype done = 0;
    const CourseRun* last = nullptr;
    for (const CourseRun& run : course.runs) {
        if (run.role == Role::Whole) {
            ++done;
            last = &run;
        }
    }
    if (last && last->state == State::Running)
        return step(Kind::Wait);
    if (last && (!last->outcome.converted() || done >= plan.runs.size()))
        return finish(course, last->outcome);
    return start(Kind::StartWhole, plan.runs.at(done));
}
