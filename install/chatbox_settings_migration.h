#pragma once
// The current client's own steps from a flat settings document to version
// 10, as far as we can take them exactly.
#include <json/value.h>

// The flat document as the client we install leaves it at version 10: the
// step to 8 (versions before it) and the step to 10. From 3 on these are the
// only steps it takes up to 10 on a desktop; the one to 3 moves data of its
// own browser store, out of our reach. False, with root unchanged, where we
// would not end where the client does.
bool CarryToProviders(Json::Value& root);
