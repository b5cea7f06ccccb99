#pragma once

// The maker's telemetry library (qeevent.dll): one event is an id plus ordered
// key/value pairs; QeView hands a finished event over for sending.

#include <cstdint>
#include <string>

#if defined(QEEVENT_EXPORTS)
#define QEEVENT_API __declspec(dllexport)
#else
#define QEEVENT_API __declspec(dllimport)
#endif

class QEEVENT_API QeEvent {
public:
    // Limits of one event. A pair whose key is empty or longer than MAX_KEY_LEN,
    // or that would exceed MAX_PAIR_NUM pairs, is dropped; a longer value is cut
    // to MAX_VALUE_LEN bytes.
    static const std::uint64_t MAX_KEY_LEN;
    static const std::uint64_t MAX_VALUE_LEN;
    static const std::uint64_t MAX_PAIR_NUM;
    static const std::uint64_t MAX_PATH_LEN;
    static const std::uint64_t MAX_ARR_SIZE;
    static const std::uint64_t MAX_FILE_NUM;
    static const int INVALID_NUM;

    explicit QeEvent(int eventId);
    QeEvent(const QeEvent& other);
    QeEvent& operator=(const QeEvent& other); // assigning an event to itself leaves it unchanged
    virtual ~QeEvent();

    // Each adds one pair after those already held and returns this event.
    QeEvent& PutString(const std::string& key, const std::string& value);
    QeEvent& PutInt(const std::string& key, int value);

private:
    friend class QeView;
    struct Data; // kept out of the header: no standard-library member crosses the DLL boundary
    Data* data_;
};

class QEEVENT_API QeView {
public:
    // Hands the event over for sending; the event is left as it was.
    static void Report(QeEvent& event);
};
