#pragma once

#include <QByteArray>

// What differs between the PEI dialects that radios speak. The framer asks
// it which lines open an unsolicited indication; the rest of a dialect
// (its commands and how its answers read) builds on this.
class PeiDialect
{
public:
    virtual ~PeiDialect() = default;

    // True when a line (without its leading and trailing line ends) is the
    // header of an indication whose data line follows it.
    virtual bool isIndicationHeader(const QByteArray &line) const = 0;

    // True when a line is information text of an answer, to be kept with the
    // final result that follows ("+CMGS: 0" before "OK"). Any other line
    // that is not a final result stands alone, so an unsolicited line never
    // merges into the answer after it.
    virtual bool isAnswerText(const QByteArray &line) const;
};

// The dialect of radios that indicate Short Data with "+CMT:".
class CmtDialect : public PeiDialect
{
public:
    bool isIndicationHeader(const QByteArray &line) const override;
};
