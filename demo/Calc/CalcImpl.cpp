#include <stdlib.h>

int Evaluate(const char* expression)
{
    return atoi(expression);
}
