// LaserDiodeDriver: the Tango device server of the laser-diode driver module, started as
// `LaserDiodeDriver INSTANCE` with Tango's usual options (-file=FILE for a file database,
// otherwise the database at TANGO_HOST).
#include <tango.h>

#include <iostream>

#include "hosts/tango/laser_diode_driver.h"

void Tango::DServer::class_factory() {
    add_class(LaserDiodeDriverClass::Init("LaserDiodeDriver"));
}

int main(int argc, char* argv[]) {
    try {
        Tango::Util* util = Tango::Util::init(argc, argv);
        util->server_init(false);
        std::cout << "Ready to accept request" << std::endl;
        util->server_run();
    } catch (const std::bad_alloc&) {
        std::cerr << "LaserDiodeDriver: out of memory" << std::endl;
        return 1;
    } catch (const CORBA::Exception& failure) {
        Tango::Except::print_exception(failure);
        return 1;
    }
    Tango::Util::instance()->server_cleanup();
    return 0;
}
