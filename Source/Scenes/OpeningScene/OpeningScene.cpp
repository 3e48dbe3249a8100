#include "OpeningScene.h"
