// The device, its attributes and commands, and the class that makes the devices.
#include "hosts/tango/laser_diode_driver.h"

#include <sys/time.h>

#include <chrono>
#include <cmath>
#include <functional>

namespace {

// A client's request is answered within this, inside the client's default timeout of 3 s: the
// core thread may be in one of the panel's settle waits, and the module answers a set frame
// within a few polls' time.
constexpr std::chrono::milliseconds kRequestBound{2500};

// Events not yet pushed when subscribers are this far behind give way, oldest first.
constexpr std::size_t kPendingLimit = 1024;

enum Slot { kCurrent, kCurrentMax, kTemperature, kPower };

const char* const kOrigin = "LaserDiodeDriver";

timeval ToTimeval(std::chrono::system_clock::time_point time) {
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
    timeval value{};
    value.tv_sec = static_cast<time_t>(micros / 1'000'000);
    value.tv_usec = static_cast<suseconds_t>(micros % 1'000'000);
    return value;
}

Tango::DevState ToTango(DriverState state) {
    switch (state) {
        case DriverState::Off:
            return Tango::OFF;
        case DriverState::Init:
            return Tango::INIT;
        case DriverState::On:
            return Tango::ON;
        case DriverState::Fault:
            break;
    }
    return Tango::FAULT;
}

[[noreturn]] void Refuse(const std::string& reason, const std::string& text) {
    Tango::Except::throw_exception(reason, text, kOrigin);
}

std::string Milliamps(double value) {
    return std::to_string(static_cast<long long>(value)) + " mA";
}

// An attribute whose reads (and writes) go to the device's member functions.
class DriverAttr : public Tango::Attr {
  public:
    using Reader = void (LaserDiodeDriver::*)(Tango::Attribute&);
    using Writer = void (LaserDiodeDriver::*)(Tango::WAttribute&);

    DriverAttr(const char* attributeName, long dataType, Reader reader, Writer writer = nullptr)
        : Tango::Attr(attributeName, dataType, writer ? Tango::READ_WRITE : Tango::READ),
          reader_(reader),
          writer_(writer) {}

    void read(Tango::DeviceImpl* device, Tango::Attribute& attribute) override {
        (static_cast<LaserDiodeDriver*>(device)->*reader_)(attribute);
    }
    void write(Tango::DeviceImpl* device, Tango::WAttribute& attribute) override {
        (static_cast<LaserDiodeDriver*>(device)->*writer_)(attribute);
    }
    bool is_allowed(Tango::DeviceImpl*, Tango::AttReqType) override { return true; }

  private:
    Reader reader_;
    Writer writer_;
};

class DriverCommand : public Tango::Command {
  public:
    DriverCommand(const char* commandName, void (LaserDiodeDriver::*run)())
        : Tango::Command(commandName, Tango::DEV_VOID, Tango::DEV_VOID, "", ""), run_(run) {}
    CORBA::Any* execute(Tango::DeviceImpl* device, const CORBA::Any&) override {
        (static_cast<LaserDiodeDriver*>(device)->*run_)();
        return insert();
    }
    bool is_allowed(Tango::DeviceImpl*, const CORBA::Any&) override { return true; }

  private:
    void (LaserDiodeDriver::*run_)();
};

}  // namespace

LaserDiodeDriver::LaserDiodeDriver(Tango::DeviceClass* deviceClass, const char* name)
    : Tango::Device_5Impl(deviceClass, name) {
    init_device();
}

LaserDiodeDriver::~LaserDiodeDriver() {
    delete_device();
}

void LaserDiodeDriver::init_device() {
    portProperty_.clear();
    readOnly_ = false;
    Tango::DbData properties;
    properties.push_back(Tango::DbDatum("Port"));
    properties.push_back(Tango::DbDatum("ReadOnly"));
    if (Tango::Util::_UseDb) {
        get_db_device()->get_property(properties);
    }
    if (!properties[0].is_empty()) {
        properties[0] >> portProperty_;
    }
    if (!properties[1].is_empty()) {
        properties[1] >> readOnly_;
    }
    set_change_event("State", true, false);
    {
        std::lock_guard<std::mutex> hold(pushLock_);
        stopPushing_ = false;
        pending_.clear();
    }
    pusher_ = std::thread([this] { PushLoop(); });
    try {
        host_ = std::make_unique<ModuleHost>(
            portProperty_, [this](const std::vector<DriverUpdate>& updates) { Enqueue(updates); });
        hostFailure_.clear();
    } catch (const std::exception& failure) {
        hostFailure_ = std::string("The device could not start its module's host: ") +
                       failure.what() + ". Init tries again.";
    }
}

ModuleHost& LaserDiodeDriver::Host() {
    if (!host_) {
        Refuse("LDD_NoHost", hostFailure_);
    }
    return *host_;
}

// The pushes end first: Init and the server's shutdown call this holding the device's monitor,
// so nothing could be pushed meanwhile. Then the port is closed as the panel closes it.
void LaserDiodeDriver::delete_device() {
    {
        std::lock_guard<std::mutex> hold(pushLock_);
        stopPushing_ = true;
    }
    pushWake_.notify_all();
    host_.reset();
    if (pusher_.joinable()) {
        pusher_.join();
    }
}

Tango::DevState LaserDiodeDriver::dev_state() {
    const Tango::DevState state = host_ ? ToTango(host_->Snapshot().state) : Tango::FAULT;
    set_state(state);
    return state;
}

Tango::ConstDevString LaserDiodeDriver::dev_status() {
    status_ = host_ ? host_->Snapshot().status : hostFailure_;
    set_status(status_);
    return status_.c_str();
}

// A value nothing live is behind (stale, port closed, not yet configured) is INVALID, without a
// value, rather than the last one repeated.
void LaserDiodeDriver::ReadValue(Tango::Attribute& attribute, const DriverReading& reading,
                                 int slot) {
    if (!reading.valid) {
        attribute.set_quality(Tango::ATTR_INVALID);
        return;
    }
    readValues_[slot] = reading.value;
    timeval when = ToTimeval(reading.time);
    attribute.set_value_date_quality(&readValues_[slot], when, Tango::ATTR_VALID);
}

void LaserDiodeDriver::ReadCurrent(Tango::Attribute& attribute) {
    ReadValue(attribute, Host().Snapshot().current, kCurrent);
}

void LaserDiodeDriver::ReadCurrentMax(Tango::Attribute& attribute) {
    ReadValue(attribute, Host().Snapshot().currentMax, kCurrentMax);
}

void LaserDiodeDriver::ReadTemperature(Tango::Attribute& attribute) {
    ReadValue(attribute, Host().Snapshot().temperature, kTemperature);
}

void LaserDiodeDriver::ReadPower(Tango::Attribute& attribute) {
    ReadValue(attribute, Host().Snapshot().power, kPower);
}

void LaserDiodeDriver::ReadVariant(Tango::Attribute& attribute) {
    const DriverSnapshot snapshot = Host().Snapshot();
    if (snapshot.variant == 0) {
        attribute.set_quality(Tango::ATTR_INVALID);
        return;
    }
    variantText_[0] = snapshot.variant;
    variantRead_ = variantText_;
    attribute.set_value(&variantRead_);
}

void LaserDiodeDriver::ReadPort(Tango::Attribute& attribute) {
    portText_ = Host().Snapshot().port;
    portRead_ = portText_.data();
    attribute.set_value(&portRead_);
}

// The value goes the panel's typed SET path: truncated toward zero and held to 0 ... CurrentMax.
// The write returns once the module has answered; the attribute's set value becomes what was
// sent, so a clamped write shows as such.
void LaserDiodeDriver::WriteCurrent(Tango::WAttribute& attribute) {
    Tango::DevDouble asked = 0;
    attribute.get_write_value(asked);
    if (readOnly_) {
        Refuse("LDD_ReadOnly",
               "This device only monitors its module (device property ReadOnly "
               "is true): Current is not written, nothing was sent.");
    }
    const DriverWrite result =
        Host().SetCurrent(asked, std::chrono::steady_clock::now() + kRequestBound);
    const std::string sent = Milliamps(result.sent.milliamps);
    switch (result.status) {
        case DriverWrite::Status::Confirmed:
            attribute.set_write_value(static_cast<Tango::DevDouble>(result.sent.milliamps));
            if (result.sent.clamped) {
                INFO_STREAM << "Current: " << asked << " mA asked, " << sent
                            << " sent (held to 0 ... the module's maximum)" << std::endl;
            }
            return;
        case DriverWrite::Status::NotConfirmed:
            attribute.set_write_value(static_cast<Tango::DevDouble>(result.sent.milliamps));
            Refuse("LDD_NotConfirmed", sent + " sent; the module has not confirmed it within " +
                                           std::to_string(kRequestBound.count()) +
                                           " ms. Current reads what it last confirmed.");
        case DriverWrite::Status::PortLost:
            Refuse("LDD_PortLost",
                   sent + " sent, then the port went before the module confirmed it.");
        case DriverWrite::Status::NotANumber:
            Refuse("LDD_NotANumber", "Current must be a finite number of mA; nothing was sent.");
        case DriverWrite::Status::PortClosed:
            Refuse("LDD_PortClosed",
                   "The port is not open; nothing was sent. " + Host().Snapshot().status);
        case DriverWrite::Status::NotConfigured:
            Refuse("LDD_NotConfigured",
                   "The module's configuration has not arrived yet; "
                   "nothing was sent.");
        case DriverWrite::Status::NoAnswer:
            break;
    }
    Refuse("LDD_Busy", "The device did not take the request in time; nothing was sent.");
}

void LaserDiodeDriver::Open() {
    if (!Host().Open(std::chrono::steady_clock::now() + kRequestBound)) {
        Refuse("LDD_Busy", "The device did not take the request in time; try again.");
    }
}

void LaserDiodeDriver::Close() {
    if (!Host().Close(std::chrono::steady_clock::now() + kRequestBound)) {
        Refuse("LDD_Busy", "The device did not take the request in time; try again.");
    }
}

void LaserDiodeDriver::Enqueue(const std::vector<DriverUpdate>& updates) {
    {
        std::lock_guard<std::mutex> hold(pushLock_);
        for (const DriverUpdate& update : updates) {
            if (pending_.size() >= kPendingLimit) {
                pending_.pop_front();
            }
            pending_.push_back(update);
        }
    }
    pushWake_.notify_one();
}

void LaserDiodeDriver::PushLoop() {
    std::unique_lock<std::mutex> hold(pushLock_);
    for (;;) {
        pushWake_.wait(hold, [this] { return stopPushing_ || !pending_.empty(); });
        if (stopPushing_) {
            return;
        }
        std::deque<DriverUpdate> batch;
        batch.swap(pending_);
        hold.unlock();
        for (const DriverUpdate& update : batch) {
            if (!AwaitMonitor()) {
                return;
            }
            Push(update);
        }
        hold.lock();
    }
}

// A push takes the device's monitor, which a request may hold for up to kRequestBound, and
// Init or the server's shutdown holds while it waits for this thread to end: the push waits
// here, where an end is seen, instead of inside Tango's wait that ends only after its timeout.
bool LaserDiodeDriver::AwaitMonitor() {
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(pushLock_);
            if (stopPushing_) {
                return false;
            }
        }
        if (get_dev_monitor().get_locking_ctr() == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void LaserDiodeDriver::Push(const DriverUpdate& update) {
    static const char* const kNames[] = {"Current", "CurrentMax", "Temperature", "Power"};
    const Tango::AttrQuality quality =
        update.reading.valid ? Tango::ATTR_VALID : Tango::ATTR_INVALID;
    timeval when = ToTimeval(update.reading.time);
    try {
        switch (update.what) {
            case DriverValue::Current:
            case DriverValue::CurrentMax:
            case DriverValue::Temperature:
            case DriverValue::Power: {
                const int slot = static_cast<int>(update.what);
                pushedValues_[slot] = update.reading.value;
                push_change_event(kNames[slot], &pushedValues_[slot], when, quality);
                push_archive_event(kNames[slot], &pushedValues_[slot], when, quality);
                break;
            }
            case DriverValue::Variant:
                pushedVariantText_[0] = update.variant;
                variantPushed_ = pushedVariantText_;
                push_change_event("Variant", &variantPushed_, when, quality);
                push_archive_event("Variant", &variantPushed_, when, quality);
                break;
            case DriverValue::State: {
                Tango::DevState state = ToTango(update.state);
                push_change_event("State", &state);
                break;
            }
        }
    } catch (const Tango::DevFailed& failure) {
        // The monitor was held too long by a request, or the event system refused: the next
        // change goes out as usual.
        WARN_STREAM << "event not pushed: " << failure.errors[0].desc.in() << std::endl;
    }
}

LaserDiodeDriverClass::LaserDiodeDriverClass(std::string& className)
    : Tango::DeviceClass(className) {}

LaserDiodeDriverClass* LaserDiodeDriverClass::Init(const char* className) {
    static LaserDiodeDriverClass* instance = nullptr;
    if (instance == nullptr) {
        std::string text(className);
        instance = new LaserDiodeDriverClass(text);
    }
    return instance;
}

void LaserDiodeDriverClass::command_factory() {
    // Open: opens the port of the device property Port, and re-opens it whenever it returns.
    // Close: closes the port and stops re-opening it.
    command_list.push_back(new DriverCommand("Open", &LaserDiodeDriver::Open));
    command_list.push_back(new DriverCommand("Close", &LaserDiodeDriver::Close));
}

namespace {

struct AttrSpec {
    const char* name;
    long type;
    DriverAttr::Reader reader;
    DriverAttr::Writer writer;
    const char* unit;
    const char* standardUnit;
    const char* format;
    const char* minimum;
    const char* maximum;
    const char* description;
    bool events;
};

}  // namespace

// The Current write has no Tango range on purpose: a value above the module's maximum is held to
// it, as the panel's SET holds it, rather than refused. The read-only values carry the range
// their reply field can hold, for displays.
void LaserDiodeDriverClass::attribute_factory(std::vector<Tango::Attr*>& attributes) {
    const AttrSpec specs[] = {
        {"Current", Tango::DEV_DOUBLE, &LaserDiodeDriver::ReadCurrent,
         &LaserDiodeDriver::WriteCurrent, "mA", "1e-3", "%6.0f", "", "",
         "The drive-current setpoint the module last confirmed. A write is applied as the "
         "panel's SET applies a typed value: truncated toward zero and held to 0 ... CurrentMax.",
         true},
        {"CurrentMax", Tango::DEV_DOUBLE, &LaserDiodeDriver::ReadCurrentMax, nullptr, "mA", "1e-3",
         "%6.0f", "0", "65535", "The active channel's maximum current, from the module.", true},
        {"Temperature", Tango::DEV_DOUBLE, &LaserDiodeDriver::ReadTemperature, nullptr, "degC", "1",
         "%6.2f", "0", "655.35",
         "The laser diode's temperature on the active channel; INVALID after 2 s without a "
         "reading.",
         true},
        {"Power", Tango::DEV_DOUBLE, &LaserDiodeDriver::ReadPower, nullptr, "mW", "1e-3", "%7.1f",
         "0", "65535",
         "The optical power (0.1 mW steps under variant A, 1 mW under B); INVALID after 2 s "
         "without a reading.",
         true},
        {"Variant", Tango::DEV_STRING, &LaserDiodeDriver::ReadVariant, nullptr, "", "", "%s", "",
         "", "The module's variant, A or B: which channel's setpoint and maximum are driven.",
         true},
        {"Port", Tango::DEV_STRING, &LaserDiodeDriver::ReadPort, nullptr, "", "", "%s", "", "",
         "The port in use: its listed name once opened, else the device property Port.", false},
    };
    for (const AttrSpec& spec : specs) {
        auto* attribute = new DriverAttr(spec.name, spec.type, spec.reader, spec.writer);
        Tango::UserDefaultAttrProp properties;
        properties.set_label(spec.name);
        properties.set_description(spec.description);
        if (*spec.unit != '\0') {
            properties.set_unit(spec.unit);
            properties.set_display_unit(spec.unit);
            properties.set_standard_unit(spec.standardUnit);
        }
        properties.set_format(spec.format);
        if (*spec.minimum != '\0') {
            properties.set_min_value(spec.minimum);
            properties.set_max_value(spec.maximum);
        }
        attribute->set_default_properties(properties);
        if (spec.events) {
            attribute->set_change_event(true, false);
            attribute->set_archive_event(true, false);
        }
        attributes.push_back(attribute);
    }
}

void LaserDiodeDriverClass::device_factory(const Tango::DevVarStringArray* names) {
    for (CORBA::ULong i = 0; i < names->length(); ++i) {
        auto* device = new LaserDiodeDriver(this, (*names)[i]);
        device_list.push_back(device);
        if (Tango::Util::_UseDb && !Tango::Util::_FileDb) {
            export_device(device);
        } else {
            export_device(device, device->get_name().c_str());
        }
    }
}
