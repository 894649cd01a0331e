# Writes the build moment into OUT. string(TIMESTAMP) takes SOURCE_DATE_EPOCH from the
# environment when it is set, so reproducible builds carry their declared date.
string(TIMESTAMP epoch "%s" UTC)
set(content "// Generated at link time by app/BuildStamp.cmake.\n#include \"app/BuildStamp.h\"\nconst long long memvane::kBuildEpoch = ${epoch};\n")
file(WRITE "${OUT}" "${content}")
