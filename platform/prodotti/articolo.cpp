#include "articolo.h"

int Articolo::Getid() const
{
    return id;
}
