#pragma once

// The sync code lives in namespace sync. The C library declares a function sync() at
// global scope, which a namespace of the same name there would collide with, so the
// namespace sits inside orvala and is made visible from the global scope. A qualified
// name such as sync::Track never looks at functions, so it finds the namespace.
namespace orvala {
namespace sync {
}
} // namespace orvala
using namespace orvala;
