// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionplan.h"
#include "convert/conversionreport.h"
#include "convert/fileverdict.h"
#include "convert/sourcefacts.h"

#include <QList>
#include <QString>

#include <optional>

// One encoder run of a file's course.
struct CourseRun {
    enum class Role {
        Plain, // the command that needs no facts, started before anything is known
        Whole, // the plan the probe tool's facts call for
        Part,  // one part of a source cut into parts, in the plan's order
        Join,  // the parts copied into one file
    };
    enum class State { Waiting, Running, Ended };
    Role role = Role::Plain;
    State state = State::Waiting;
    bool stopped = false; // by this program: its end tells nothing of the source
    FinishedRun record;   // what it has told so far; whole once it has ended
    FileOutcome outcome;  // once it has ended
};

// Everything a file's next step depends on: what it was given, what its runs
// and the probe tool told, and what the steps that touch files found.
struct Course {
    PlanOptions paths;
    QString probeTool;       // empty: none, and the source gets the command that needs no facts
    int encoders = 1;        // the run's; with more, a long source may be cut into parts
    bool probeFirst = false; // the facts come before any encoder, as the source is likely cut
    bool asking = false;     // the probe tool is under way
    bool interrupted = false;
    std::optional<SourceFacts> listed;      // the plain run's listing, once through
    std::optional<SourceFacts> probed;      // the probe tool's facts; not known when it failed
    int parts = 1;                          // what the probed source is worth on this machine
    std::optional<QList<double>> keyFrames; // near where the parts would seek, once asked
    std::optional<SplitPlan> split;
    QList<CourseRun> runs; // in the order they were made
    // What the steps that touch files found.
    bool retakeBlocked = false;          // what the plain run wrote could not be removed
    std::optional<QString> listFailed;   // why the parts' list could not be written
    bool outputThere = false;            // something is under the output's name now
    std::optional<QString> renameFailed; // why the join could not take the output's name
    bool renamed = false;
};

// What a file does next.
struct Step {
    enum class Kind {
        Wait,          // a run or the probe tool is under way, or parts wait for encoders
        StartPlain,    // run: the command that needs no facts
        Probe,         // ask the probe tool for the facts
        Retake,        // remove what the plain run wrote, then probe
        Stop,          // stop every run under way
        FindKeyFrames, // ask for the key frames after seeks
        Cut,           // the parts that begin at starts wait for encoders
        Join,          // write the parts' list and start the join
        StartWhole,    // run: the next of the plan's runs
        Rename,        // move the join to the output's name
        Finish,        // the file is over: outcome
    };
    Kind kind = Kind::Wait;
    EncoderRun run;
    QList<double> seeks;
    QList<qint64> starts;
    FileOutcome outcome;
};

// The next step of a file's course.
//
// The command that needs no facts runs first, unless the source is likely
// cut. Given a probe tool, a source whose listing or end calls for another
// plan (wantsRetake), or one a run of several encoders may cut, has that
// run stopped and its output removed, and is read by the probe tool. With
// its facts it is cut into the parts it is worth, or runs the plan they
// call for. Parts that do not write the frames planned, or whose join does
// not, give way to one whole run. The first part that fails stops the
// others and fails the file; a part that wrote nothing begins past the
// source's real end, and the frame count tells. The join takes the output's
// name only while nothing is there. Once interrupted, what runs is stopped,
// and the file is interrupted unless a whole run had already converted it.
Step nextStep(const Course& course);

// A source a run of several encoders may cut, by its listing: one long
// enough for parts at the shortest lead, should the probe tool tell that rate.
bool mayBeCut(const SourceFacts& listed, int encoders);
