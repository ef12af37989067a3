// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionreport.h"
#include "convert/sourcefacts.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// One thing the encoder's standard error told.
struct EncoderEvent {
    enum class Kind {
        Listed,    // its listing of the source is through: record
        Reached,   // it has encoded up to seconds, in frames pictures
        Cause,     // a line names a cause the program can say in plain words: cause, line
        Complaint, // a line that may name the cause of a failure: line
    };
    Kind kind = Kind::Complaint;
    SourceRecord record;
    double seconds = 0.0;
    int frames = 0;
    FileOutcome::Cause cause = FileOutcome::Cause::None;
    QString line;
};

// Reads the encoder's standard error, each line once, into events: the
// listing of its input (the streams, their sizes, field orders, transfers
// and lengths), how far it has got, and what went wrong.
//
// The listing is written for people, so it is read only as far as it can be
// placed: a line it cannot place ends it, and the streams not seen by then
// are not there.
class EncoderOutputReader {
  public:
    EncoderOutputReader(QString source, QString output)
        : m_source(std::move(source)), m_output(std::move(output)) {}

    // Takes one trimmed line of the encoder's standard error.
    QList<EncoderEvent> read(QStringView line);
    // The encoder ended: a listing still open is through.
    QList<EncoderEvent> end();

  private:
    enum class Stage { Before, Listing, After };

    // False when the line is not part of the listing, which then ends.
    bool readListing(QStringView line);
    QList<EncoderEvent> listingEnds();
    void readStream(QStringView line);
    void readOther(QStringView line, QList<EncoderEvent>& events);
    FileOutcome::Cause causeIn(QStringView line) const;

    QString m_source;
    QString m_output;
    Stage m_stage = Stage::Before;
    SourceRecord m_record;
};

// What one encoder run's events told, for its verdict.
struct EncoderFindings {
    double reached = 0.0;
    int frames = 0; // the pictures written, as its last progress line tells
    FileOutcome::Cause cause = FileOutcome::Cause::None; // the first one told
    QString causeLine;
    QString lastComplaint;

    void take(const EncoderEvent& event);
};
