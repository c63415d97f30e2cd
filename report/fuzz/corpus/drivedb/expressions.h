// ZETA-9 ]x
{ "DEFAULT", "-", "-", "", "-v N,raw64 -v 9,msec24hour32 -v 194,tempminmax:r543210 -F samsung" },
{ "Zeta bounds", "ZETA-[0-9]{1,3}(x|yy)*", "", "", "-v 9,sec2hour" },
{ "Zeta classes", "[[:upper:]]+-[^a-z] []]x", "[[:digit:]]?", "warn\x21\101", "-v 5,raw8:zvwr" },
{ "Zeta anchors", "^(ZETA|Z)-.*$|\\.\\w", "", "", "-v 190,hex56 -v 3,raw16(avg16)" },
