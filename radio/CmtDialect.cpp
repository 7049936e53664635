#include "radio/PeiDialect.h"

bool PeiDialect::isAnswerText(const QByteArray &line) const
{
    return line.startsWith("+CMGS:");
}

bool CmtDialect::isIndicationHeader(const QByteArray &line) const
{
    return line.startsWith("+CMT:");
}
