// The Tango device class LaserDiodeDriver: one device per module, its port from the device
// property Port. Attributes are read from what the module's host keeps; a written Current, Open
// and Close are handed to the host's core thread and waited for. Changes are pushed to
// subscribers from a thread of the device's own, never from the core thread: Tango takes the
// device's monitor for a push, and a client's write holds that monitor while it waits for the
// core thread.
#ifndef DRIVERPANEL_HOSTS_TANGO_LASER_DIODE_DRIVER_H
#define DRIVERPANEL_HOSTS_TANGO_LASER_DIODE_DRIVER_H

#include <tango.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hosts/tango/module_host.h"

class LaserDiodeDriver : public Tango::Device_5Impl {
  public:
    LaserDiodeDriver(Tango::DeviceClass* deviceClass, const char* name);
    ~LaserDiodeDriver() override;

    void init_device() override;
    void delete_device() override;
    Tango::DevState dev_state() override;
    Tango::ConstDevString dev_status() override;

    void ReadCurrent(Tango::Attribute& attribute);
    void WriteCurrent(Tango::WAttribute& attribute);
    void ReadCurrentMax(Tango::Attribute& attribute);
    void ReadTemperature(Tango::Attribute& attribute);
    void ReadPower(Tango::Attribute& attribute);
    void ReadVariant(Tango::Attribute& attribute);
    void ReadPort(Tango::Attribute& attribute);

    void Open();
    void Close();

  private:
    ModuleHost& Host();  // refuses the request when the host could not start
    void ReadValue(Tango::Attribute& attribute, const DriverReading& reading, int slot);
    void Enqueue(const std::vector<DriverUpdate>& updates);
    void PushLoop();
    bool AwaitMonitor();
    void Push(const DriverUpdate& update);

    std::string portProperty_;
    bool readOnly_ = false;
    std::unique_ptr<ModuleHost> host_;
    std::string hostFailure_;

    // Storage Tango reads the values from while it answers a read or sends an event.
    Tango::DevDouble readValues_[4] = {};
    Tango::DevDouble pushedValues_[4] = {};
    char variantText_[2] = {};
    Tango::DevString variantRead_ = variantText_;
    char pushedVariantText_[2] = {};
    Tango::DevString variantPushed_ = pushedVariantText_;
    std::string portText_;
    Tango::DevString portRead_ = nullptr;
    std::string status_;

    std::mutex pushLock_;
    std::condition_variable pushWake_;
    std::deque<DriverUpdate> pending_;  // guarded by pushLock_
    bool stopPushing_ = false;          // guarded by pushLock_
    std::thread pusher_;
};

class LaserDiodeDriverClass : public Tango::DeviceClass {
  public:
    static LaserDiodeDriverClass* Init(const char* className);

  protected:
    explicit LaserDiodeDriverClass(std::string& className);
    void command_factory() override;
    void attribute_factory(std::vector<Tango::Attr*>& attributes) override;
    void device_factory(const Tango::DevVarStringArray* names) override;
};

#endif
