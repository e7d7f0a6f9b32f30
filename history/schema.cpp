#include "history/schema.h"
