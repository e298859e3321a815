#pragma once

// Runs `body`, then `then`, even when `body` throws: the end of a flow that
// a box in its middle may interrupt. An exception of `then` replaces the
// body's, rather than ending the program from a destructor.
template <class Body, class Then>
void Finally(Body body, Then then)
{
    try {
        body();
    } catch (...) {
        then();
        throw;
    }
    then();
}
