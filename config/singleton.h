#pragma once

// Base of the process-wide objects created once at start-up: the instance
// pointer is set while the object lives and cleared when it goes.
template <class T>
class CSingleton {
 public:
  // The cast happens on access, when T is complete, never in the base's
  // constructor where the object is not yet a T.
  static T* getSingletonPtr() { return static_cast<T*>(ms_Singleton); }
  static T& getSingleton() { return *getSingletonPtr(); }

  CSingleton(const CSingleton&) = delete;
  CSingleton& operator=(const CSingleton&) = delete;

 protected:
  CSingleton() { ms_Singleton = this; }
  ~CSingleton() { ms_Singleton = nullptr; }

 private:
  static inline CSingleton* ms_Singleton = nullptr;
};
