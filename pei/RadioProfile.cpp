#include "pei/RadioProfile.h"

#include "pei/PeiDialect.h"

QStringList radioProfileNames()
{
    return {QStringLiteral("PEI with +CMT"), QStringLiteral("ETSI EN 300 392-5 (+CTSDSR)")};
}

RadioProfile radioProfileAt(int index)
{
    return index == int(RadioProfile::Etsi) ? RadioProfile::Etsi : RadioProfile::Cmt;
}

const PeiDialect &dialectOf(RadioProfile profile)
{
    static const CmtDialect cmt;
    static const EtsiDialect etsi;
    if (profile == RadioProfile::Etsi)
        return etsi;
    return cmt;
}
