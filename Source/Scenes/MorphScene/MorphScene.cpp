#include "MorphScene.h"
