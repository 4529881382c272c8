#include "host/sdk/animatable.h"

Animatable::~Animatable() = default;
