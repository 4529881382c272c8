#include "host/standin/point_helper.h"

StandinPointHelper::StandinPointHelper(float size) { SetSize(size); }
