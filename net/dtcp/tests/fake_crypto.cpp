#include "fake_crypto.h"
