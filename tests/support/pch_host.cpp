// Compiles the test programs' shared precompiled header; nothing else.
