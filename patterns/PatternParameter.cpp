#include "patterns/PatternParameter.h"
